// The command line, the console and every way a run can fail, seen from
// outside: console bytes, exit code, and what happens to the files.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "expected_console.h"
#include "run_program.h"

namespace fs = std::filesystem;

namespace {

const std::string kRecord =
    "TYP: Artikel\r\nKUR: Meier90\r\nAUT: Meier, Hans\r\nTIT: Titel\r\nLNR: 17\r\n\r\n";

class CliTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = freshTestFolder("cli");
    exportPath_ = (dir_ / "export.txt").string();
    writeFile(exportPath_, kRecord + kRecord);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // A failed run must leave the export exactly as it was.
  void expectExportUnchanged() const { EXPECT_EQ(readFile(exportPath_), kRecord + kRecord); }

  fs::path dir_;
  std::string exportPath_;
};

TEST_F(CliTest, WrongNumberOfArgumentsShowsUsageAndCreatesNothing) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"export.txt"},
      {"a", "b", "c", "d"},
      {"", "x.bib"},  // an empty word is not counted
  };
  for (const auto& args : cases) {
    std::vector<std::string> withPaths;
    for (const auto& a : args) withPaths.push_back(a.empty() ? a : path(a));
    ProgramResult r = runProgram(withPaths);
    EXPECT_EQ(r.exitCode, 9) << args.size();
    EXPECT_EQ(r.out, kBanner + kUsage);
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(fileExists(path("x.bib")));
    EXPECT_FALSE(fileExists(path("b")));
  }
}

TEST_F(CliTest, MissingOrUnreadableExportGivesExitCode8) {
  fs::create_directory(dir_ / "folder");
  for (const std::string& name : {path("missing.txt"), path("folder")}) {
    ProgramResult r = runProgram({name, path("out.bib")});
    EXPECT_EQ(r.exitCode, 8) << name;
    EXPECT_EQ(r.out, kBanner + "Angegebene KART-Datei existiert nicht\r\n");
    EXPECT_FALSE(fileExists(path("out.bib")));
  }
}

TEST_F(CliTest, SameFileAsExportAndBibtexIsRefused) {
  fs::create_symlink(exportPath_, dir_ / "link.txt");
  fs::create_hard_link(exportPath_, dir_ / "hard.txt");
  fs::create_directory(dir_ / "sub");
  const std::vector<std::string> outputs = {
      exportPath_, path("link.txt"), path("hard.txt"), path("sub/../export.txt"),
      path("./export.txt")};
  for (const std::string& output : outputs) {
    ProgramResult r = runProgram({exportPath_, output});
    EXPECT_EQ(r.exitCode, 7) << output;
    EXPECT_EQ(r.out, kBanner + "KART-Datei und BibTeX-Datei sind dieselbe Datei\r\n");
    expectExportUnchanged();
  }
  // The link named as export and the real file as output are caught too.
  ProgramResult r = runProgram({path("link.txt"), exportPath_});
  EXPECT_EQ(r.exitCode, 7);
  expectExportUnchanged();
}

TEST_F(CliTest, OptionWordInAnyLetterCase) {
  struct Case {
    std::string word;
    std::string closing;
  };
  const std::vector<Case> cases = {
      {"Nr2Note", "Lfde. Nr. als Note hinzugef\x81gt\r\n"},
      {"nr2note", "Lfde. Nr. als Note hinzugef\x81gt\r\n"},
      {"NR2NOTE", "Lfde. Nr. als Note hinzugef\x81gt\r\n"},
      {"Nr2Notes", ""},
      {"Nr2", ""},
      {"anders", ""},
  };
  for (const Case& c : cases) {
    ProgramResult r = runProgram({exportPath_, path("out.bib"), c.word});
    EXPECT_EQ(r.exitCode, 0) << c.word;
    EXPECT_EQ(r.out, consoleOfRun(2, c.closing, 1)) << c.word;  // the key repeats
    bool numbered = !c.closing.empty();
    EXPECT_EQ(readFile(path("out.bib")).find("Database entry No: 17") != std::string::npos,
              numbered)
        << c.word;
  }
}

TEST_F(CliTest, Nr2NoteWithoutRunningNumberSaysSo) {
  writeFile(exportPath_, "TYP: Buch\r\nKUR: X\r\n\r\n");
  ProgramResult r = runProgram({exportPath_, path("out.bib"), "Nr2Note"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, consoleOfRun(1, "Lfde. Nr. in .TXT-Datei nicht vorhanden!\r\n"));
}

TEST_F(CliTest, ExistingBibtexFileIsReplaced) {
  writeFile(path("out.bib"), std::string(100000, 'x'));
  ProgramResult r = runProgram({exportPath_, path("out.bib")});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(readFile(path("out.bib")).find('x'), std::string::npos);
}

// Every failed operation after the argument checks ends the run with the
// system's error number as exit code and one "Runtime error" line.
TEST_F(CliTest, FailedFileOperationsEndWithRuntimeError) {
  fs::create_directory(dir_ / "outdir");
  struct Case {
    std::string output;
    int error;
  };
  const std::vector<Case> cases = {
      {path("no/such/folder/out.bib"), 2},  // ENOENT
      {path("outdir"), 21},                 // EISDIR
      {"/dev/full", 28},                    // ENOSPC
  };
  for (const Case& c : cases) {
    ProgramResult r = runProgram({exportPath_, c.output});
    EXPECT_EQ(r.exitCode, c.error) << c.output;
    EXPECT_EQ(r.err.rfind("Runtime error " + std::to_string(c.error) + " ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.output), std::string::npos) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - 2), "\r\n");
    EXPECT_EQ(r.out.find(" Eintr\x84ge geschrieben"), std::string::npos) << c.output;
    expectExportUnchanged();
  }
}

TEST_F(CliTest, OutputFolderMissingStopsBeforeReading) {
  ProgramResult r = runProgram({exportPath_, path("none/out.bib")});
  EXPECT_EQ(r.out, kBanner);
}

TEST_F(CliTest, FailingConsoleEndsTheRun) {
  struct Case {
    ConsoleTarget console;
    int error;
  };
  for (const Case& c : {Case{ConsoleTarget::ClosedPipe, 32}, Case{ConsoleTarget::DevFull, 28}}) {
    ProgramResult r = runProgram({exportPath_, path("out.bib")}, c.console);
    EXPECT_EQ(r.signal, 0) << "killed by a signal instead of reporting the failure";
    EXPECT_EQ(r.exitCode, c.error);
    EXPECT_EQ(r.err.rfind("Runtime error " + std::to_string(c.error) + " ", 0), 0u) << r.err;
    expectExportUnchanged();
  }
}

// Progress dots wait to be flushed together; when the BibTeX file fails
// part-way, the dots of the entries written so far still show before the
// failure line.
TEST_F(CliTest, DotsWrittenBeforeAFailureStillShow) {
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes += kRecord;
  writeFile(exportPath_, bytes);
  ProgramResult r = runProgram({exportPath_, "/dev/full"});
  EXPECT_EQ(r.exitCode, 28);
  const std::string start = kBanner +
                            "Lese ersten Eintrag...\r\nAnalysiere Struktur...\r\n"
                            "Schreibe Eintraege ";
  ASSERT_EQ(r.out.substr(0, start.size()), start);
  std::string dots = r.out.substr(start.size());
  EXPECT_GT(dots.size(), 0u);
  EXPECT_LT(dots.size(), 5000u);
  EXPECT_EQ(dots, std::string(dots.size(), '.'));
  EXPECT_EQ(r.err.rfind("Runtime error 28 ", 0), 0u) << r.err;
}

}  // namespace
