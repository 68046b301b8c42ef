// The BibTeX file's replacement, played through in the order the program
// calls it: created beside an earlier BibTeX file (or under a name not taken
// yet), written, and then committed, abandoned after a failure, or cut short
// by an interruption. The signal handlers and the console control handler
// do no more than removeTemporaryOnInterrupt, so calling it here stands for
// Ctrl+C, which cannot be sent to a test (nor under Wine at all).
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace fs = std::filesystem;

namespace {

// Names go to the platform layer in UTF-8 on every system.
std::string utf8(const fs::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

fs::path pathOf(const std::string& name) { return fs::path(std::u8string(name.begin(), name.end())); }

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every file the folder holds, with its bytes.
std::map<std::string, std::string> filesIn(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    files[utf8(entry.path().filename())] = readFile(entry.path());
  }
  return files;
}

// An empty folder of its own under the system's temporary folder, removed
// with what it holds at the end.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name) {
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() / ("kartconv_replacement_" + name + "_" + std::to_string(stamp));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

enum class Ending { Commit, Abandon, Interrupt, CommitThenInterrupt };

struct ReplacementCase {
  const char* promise;
  const char* earlier;  // the earlier BibTeX file, nullptr where there is none
  bool secondName;      // the earlier file has another name too (a hard link)
  Ending ending;
  std::map<std::string, std::string> left;  // the folder's files at the end
};

TEST(Replacement, EarlierFileStaysUntilTheRunSucceedsAndNoTemporaryFileRemains) {
  const ReplacementCase cases[] = {
      {"InterruptKeepsTheEarlierFileAndRemovesTheTemporaryFile", "earlier file", false,
       Ending::Interrupt, {{"out.bib", "earlier file"}}},
      {"InterruptOfAFirstRunLeavesNoFile", nullptr, false, Ending::Interrupt, {}},
      {"CommitReplacesTheEarlierFileAndLeavesNoOtherFile", "earlier file", false, Ending::Commit,
       {{"out.bib", "new"}}},
      {"CommitOfAFirstRunCreatesTheFile", nullptr, false, Ending::Commit, {{"out.bib", "new"}}},
      {"AbandonKeepsTheEarlierFile", "earlier file", false, Ending::Abandon,
       {{"out.bib", "earlier file"}}},
      {"AbandonOfAFirstRunLeavesNoFile", nullptr, false, Ending::Abandon, {}},
      // The committed file went out of the temporary name, and with it what
      // an interruption may remove.
      {"InterruptAfterCommitKeepsTheNewFile", "earlier file", false, Ending::CommitThenInterrupt,
       {{"out.bib", "new"}}},
      // A file with two names is written in place: an interruption must not
      // take it for a temporary file.
      {"InterruptKeepsAFileWrittenInPlace", "earlier file", true, Ending::Interrupt,
       {{"out.bib", "new"}, {"other.bib", "new"}}},
  };
  for (const ReplacementCase& c : cases) {
    SCOPED_TRACE(c.promise);
    ScratchFolder folder(c.promise);
    const fs::path bib = folder.path() / "out.bib";
    if (c.earlier != nullptr) std::ofstream(bib, std::ios::binary) << c.earlier;
    if (c.secondName) fs::create_hard_link(bib, folder.path() / "other.bib");

    platform::File file = platform::kNoFile;
    platform::Replacement replacement;
    ASSERT_EQ(platform::createReplacement(utf8(bib), file, replacement), 0);
    const bool replaced = !replacement.temporaryName.empty();
    ASSERT_EQ(replaced, !c.secondName);
    if (replaced) {
      // A hidden name of its own in the BibTeX file's folder, so that the
      // rename stays on one disk.
      const fs::path temporary = pathOf(replacement.temporaryName);
      EXPECT_TRUE(fs::equivalent(fs::absolute(temporary).parent_path(), folder.path()));
      EXPECT_EQ(utf8(temporary.filename()).front(), '.');
      EXPECT_TRUE(fs::exists(temporary));
    }
    ASSERT_EQ(platform::writeAll(file, "new", 3), 0);
    if (replaced && c.earlier != nullptr) {
      EXPECT_EQ(readFile(bib), c.earlier);
    }

    switch (c.ending) {
      case Ending::Interrupt:
        // The handler runs while the file is open; the end of the process
        // closes it afterwards.
        platform::removeTemporaryOnInterrupt();
        EXPECT_EQ(platform::closeFile(file), 0);
        break;
      case Ending::Abandon:
        EXPECT_EQ(platform::closeFile(file), 0);
        platform::abandonReplacement(replacement);
        break;
      case Ending::Commit:
      case Ending::CommitThenInterrupt:
        EXPECT_EQ(platform::syncFile(file), 0);
        EXPECT_EQ(platform::closeFile(file), 0);
        EXPECT_EQ(platform::commitReplacement(replacement), 0);
        if (c.ending == Ending::CommitThenInterrupt) platform::removeTemporaryOnInterrupt();
        break;
    }
    EXPECT_EQ(filesIn(folder.path()), c.left);
  }
}

}  // namespace
