// Failures in the middle of a run, seen from outside. A disk that fills up
// must end the run with one "Runtime error 28" line and exit code 28, never
// report success, and leave the export and the earlier BibTeX file as they
// were, with no temporary file beside it. The small disk is a
// size-limited tmpfs, which needs the right to mount (root); without it these
// tests are skipped. A console whose reader goes away, an export that cannot
// be read and single read, write and close calls made to fail end it the same
// way, with their own error numbers.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include "run_program.h"

namespace fs = std::filesystem;

namespace {

constexpr int kDiskFull = 28;  // ENOSPC
// About 80 bytes in the BibTeX file.
const std::string kRecord = "TYP: Art\r\nKUR: Meier90\r\nAUT: Meier, Hans\r\nTIT: Titel\r\n\r\n";
const std::string kEarlierBibtex = "@ARTICLE{Earlier,\r\n    title = \"Vorher\"\r\n}\r\n\r\n";

// Runs the program with the test double failing_io.cc preloaded and
// `fault` (and `rewrite`) asked of it.
ProgramResult runWithTestDouble(const std::vector<std::string>& args, const std::string& fault,
                                const std::string& rewrite = "") {
  // An AddressSanitizer build would refuse a library loaded before its runtime.
  const char* asan = std::getenv("ASAN_OPTIONS");
  std::string asanBefore = asan != nullptr ? asan : "";
  setenv("ASAN_OPTIONS", (asanBefore + ":verify_asan_link_order=0").c_str(), 1);
  setenv("LD_PRELOAD", FAILING_IO_LIBRARY, 1);
  setenv("KARTCONV_FAULT", fault.c_str(), 1);
  setenv("KARTCONV_REWRITE", rewrite.c_str(), 1);
  ProgramResult r = runProgram(args);
  unsetenv("LD_PRELOAD");
  unsetenv("KARTCONV_FAULT");
  unsetenv("KARTCONV_REWRITE");
  if (asan == nullptr) unsetenv("ASAN_OPTIONS");
  else setenv("ASAN_OPTIONS", asanBefore.c_str(), 1);
  return r;
}

class MidRunFailureTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = freshTestFolder("fault");
    fs::create_directories(dir_ / "small");
    exportPath_ = (dir_ / "export.txt").string();
    writeExport(20000);
  }
  void writeExport(int records) {
    export_.clear();
    for (int i = 0; i < records; ++i) export_ += kRecord;
    writeFile(exportPath_, export_);
  }
  void TearDown() override {
    if (mounted_) umount2((dir_ / "small").c_str(), MNT_DETACH);
    fs::remove_all(dir_);
  }

  // Mounts a tmpfs of `size` bytes at dir_/small, with `more` options
  // after it; false when not allowed.
  bool mountSmallDisk(const char* size, std::string& why, const char* more = "") {
    std::string options = std::string("size=") + size + more;
    if (mount("tmpfs", (dir_ / "small").c_str(), "tmpfs", 0, options.c_str()) != 0) {
      why = std::strerror(errno);
      return false;
    }
    mounted_ = true;
    return true;
  }

  // The BibTeX file of an earlier run, which a failed run must not touch.
  void writeEarlierBibtex(const std::string& bib) { writeFile(bib, kEarlierBibtex); }
  void expectEarlierBibtexKept(const std::string& bib) {
    EXPECT_EQ(readFile(bib), kEarlierBibtex) << "the earlier BibTeX file was changed";
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(bib).parent_path())) {
      names.insert(entry.path().filename().string());
    }
    std::set<std::string> expected = {"out.bib"};
    if (fs::path(bib).parent_path() == dir_) expected = {"export.txt", "out.bib", "small"};
    EXPECT_EQ(names, expected) << "a temporary file was left";
  }

  void expectDiskFullAt(const ProgramResult& r, const std::string& place) {
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, kDiskFull);
    EXPECT_EQ(r.err, "Runtime error 28 at write '" + place + "'\r\n");
    EXPECT_EQ(r.out.find(" Eintr\x84ge geschrieben"), std::string::npos) << "reported success";
    EXPECT_TRUE(readFile(exportPath_) == export_) << "the export was changed";
  }

  fs::path dir_;
  std::string exportPath_;
  std::string export_;
  bool mounted_ = false;
};

// The BibTeX file does not fit on a disk of 64 KB. With 20,000 entries
// (1.6 MB) a buffered write in the middle of the run finds the disk full;
// with 1,000 entries (80 KB) only the last write, when the file is closed.
TEST_F(MidRunFailureTest, BibtexFileOnAFullDisk) {
  std::string why;
  if (!mountSmallDisk("64k", why)) GTEST_SKIP() << "cannot mount a small tmpfs here: " << why;
  std::string bib = (dir_ / "small" / "out.bib").string();
  for (int records : {20000, 1000}) {
    SCOPED_TRACE(records);
    writeExport(records);
    writeEarlierBibtex(bib);
    ProgramResult r = runProgram({exportPath_, bib});
    expectDiskFullAt(r, bib);
    EXPECT_NE(r.out.find("Schreibe Eintraege ."), std::string::npos) << "failed before writing";
    expectEarlierBibtexKept(bib);
  }
}

// A disk with room for bytes but no free inode: the temporary file cannot
// be made. Writing the file in place instead would empty the earlier
// BibTeX file before the disk is found full; the run ends at once instead.
TEST_F(MidRunFailureTest, BibtexFileOnADiskWithoutFreeInodes) {
  std::string why;
  // Two inodes: the disk's root folder and the earlier BibTeX file.
  if (!mountSmallDisk("4m", why, ",nr_inodes=2")) {
    GTEST_SKIP() << "cannot mount a small tmpfs here: " << why;
  }
  std::string bib = (dir_ / "small" / "out.bib").string();
  writeEarlierBibtex(bib);
  ProgramResult r = runProgram({exportPath_, bib});
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.exitCode, kDiskFull);
  EXPECT_EQ(r.err, "Runtime error 28 at create '" + bib + "'\r\n");
  EXPECT_EQ(r.out.find("Lese ersten Eintrag"), std::string::npos) << "went on after the failure";
  expectEarlierBibtexKept(bib);
}

// A limit on the size of the files the program writes (ulimit -f) is met
// as a full disk is: a write fails with EFBIG (27) instead of the process
// being killed, and the earlier BibTeX file stays.
TEST_F(MidRunFailureTest, FileSizeLimitEndsTheRunAsAWriteError) {
  fs::create_directory(dir_ / "out");
  std::string bib = (dir_ / "out" / "out.bib").string();
  writeEarlierBibtex(bib);
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit limited = before;
  limited.rlim_cur = 64 * 1024;  // this process writes nothing that large meanwhile
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  ProgramResult r = runProgram({exportPath_, bib});
  setrlimit(RLIMIT_FSIZE, &before);
  EXPECT_EQ(r.signal, 0) << "killed by a signal instead of reporting the failure";
  EXPECT_EQ(r.exitCode, EFBIG);
  EXPECT_EQ(r.err, "Runtime error 27 at write '" + bib + "'\r\n");
  expectEarlierBibtexKept(bib);
}

// The console file fills up among the 20,000 progress dots.
TEST_F(MidRunFailureTest, ConsoleOnADiskThatFillsUp) {
  std::string why;
  if (!mountSmallDisk("8k", why)) GTEST_SKIP() << "cannot mount a small tmpfs here: " << why;
  std::string bib = (dir_ / "out.bib").string();
  std::string consoleFile = (dir_ / "small" / "console.txt").string();
  writeEarlierBibtex(bib);
  ProgramResult r = runProgram({exportPath_, bib}, ConsoleTarget::File, consoleFile);
  expectDiskFullAt(r, "console");
  EXPECT_EQ(r.out.size(), 8192u) << "the console should have filled the disk";
  expectEarlierBibtexKept(bib);
}

// The console's reader goes away after the first progress dot. 400,000
// dots do not fit into the pipe, so a later write finds it closed: error 32,
// not a silent end by SIGPIPE.
TEST_F(MidRunFailureTest, ConsoleReaderGoesAwayMidRun) {
  export_ = std::string(400000 * 10, ' ');
  for (std::size_t i = 0; i < export_.size(); i += 10) export_.replace(i, 10, "TYP: Art\n\n");
  writeFile(exportPath_, export_);
  std::string bib = (dir_ / "out.bib").string();
  writeEarlierBibtex(bib);
  ProgramResult r = runProgram({exportPath_, bib}, ConsoleTarget::PipeClosedMidRun);
  EXPECT_EQ(r.signal, 0) << "killed by a signal instead of reporting the failure";
  EXPECT_EQ(r.exitCode, 32);
  EXPECT_EQ(r.err, "Runtime error 32 at write 'console'\r\n");
  EXPECT_NE(r.out.find("Schreibe Eintraege ."), std::string::npos);
  EXPECT_TRUE(readFile(exportPath_) == export_) << "the export was changed";
  expectEarlierBibtexKept(bib);
}

// One read, write, close or rename fails in the middle of a run, made to
// fail by the test double failing_io.cc, preloaded into the program: the
// export's second read, the BibTeX file's write after its first full buffer,
// the close of the BibTeX file, where a late write error shows (1,000
// entries fit into one buffer, written just before), and the rename that
// puts the new BibTeX file in the earlier one's place. Each ends the run
// with its "Runtime error" line and its error number as exit code, and
// leaves no temporary file, and the earlier BibTeX file where there was one;
// all but the rename, which comes after the summary, show no success.
TEST_F(MidRunFailureTest, InjectedFailureEndsTheRun) {
  struct Case {
    const char* call;
    int n;        // the call that fails, counted on the one file
    int error;
    int records;
    bool onExport;
    bool earlierBibtex;  // an earlier BibTeX file is there to be replaced
  };
  const std::vector<Case> cases = {
      {"read", 2, EIO, 20000, true, false},
      {"write", 2, EDQUOT, 20000, false, false},
      {"close", 1, EIO, 1000, false, false},
      {"rename", 1, EBUSY, 1000, false, true},
  };
  fs::create_directory(dir_ / "out");
  std::string bib = (dir_ / "out" / "out.bib").string();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    writeExport(c.records);
    if (c.earlierBibtex) writeEarlierBibtex(bib);
    std::string file = c.onExport ? exportPath_ : (dir_ / "out").string() + "/";
    std::string fault = std::string(c.call) + " " + std::to_string(c.n) + " " +
                        std::to_string(c.error) + " " + file;
    ProgramResult r = runWithTestDouble({exportPath_, bib}, fault);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, c.error);
    EXPECT_EQ(r.err, "Runtime error " + std::to_string(c.error) + " at " + c.call + " '" +
                         (c.onExport ? exportPath_ : bib) + "'\r\n");
    bool summaryShown = std::string(c.call) == "rename";
    EXPECT_EQ(r.out.find(" Eintr\x84ge geschrieben") != std::string::npos, summaryShown) << r.out;
    EXPECT_EQ(r.out.find("Schreibe Eintraege ") == std::string::npos, c.onExport) << r.out;
    if (c.earlierBibtex) {
      expectEarlierBibtexKept(bib);
      fs::remove(bib);
    }
    EXPECT_TRUE(fs::is_empty(dir_ / "out")) << "a file was left";
  }
}

// An interruption in the middle of a run (Ctrl+C, kill, a closed terminal)
// ends the process by that very signal, so that the shell sees 128 plus its
// number, and removes the temporary file: the earlier BibTeX file stays as
// it was. The export arrives slowly through a pipe, so that the signal
// comes while the new file is being written.
TEST_F(MidRunFailureTest, InterruptionMidRunKeepsTheEarlierBibtexFile) {
  fs::create_directory(dir_ / "out");
  std::string bib = (dir_ / "out" / "out.bib").string();
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    writeEarlierBibtex(bib);
    std::size_t filesWhileWriting = 0;
    ProgramResult r = talkToProgram({"/dev/stdin", bib}, [&](Dialogue& d) {
      d.send(kRecord + kRecord);
      ASSERT_TRUE(d.waitFor("Schreibe Eintraege ")) << d.shown;
      for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_ / "out")) {
        ++filesWhileWriting;
      }
      kill(d.pid, sig);
    });
    EXPECT_EQ(filesWhileWriting, 2u) << "no temporary file beside the earlier one";
    EXPECT_EQ(r.signal, sig);
    EXPECT_EQ(r.exitCode, -1);
    expectEarlierBibtexKept(bib);
  }
}

// An export that opens but cannot be read: reading /proc/self/mem at its
// start fails with EIO (5) on Linux. The run must stop at the read.
TEST(FailingExport, ReadErrorEndsTheRun) {
  if (!fileExists("/proc/self/mem")) GTEST_SKIP() << "no /proc/self/mem here";
  std::string bib = (fs::temp_directory_path() /
                     ("kartconv_fault_" + std::to_string(getpid()) + "_read.bib"))
                        .string();
  ProgramResult r = runProgram({"/proc/self/mem", bib});
  fs::remove(bib);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.exitCode, 5);
  EXPECT_EQ(r.err, "Runtime error 5 at read '/proc/self/mem'\r\n");
  EXPECT_EQ(r.out.find("Analysiere Struktur"), std::string::npos);
}


// The export is changed while the program reads it: between its first
// reading (the keys) and its second (the entries), the test double writes
// other records over it. Keys read first as A, B and then A, A; a record
// added that asks for a key a suffix took; both end with "Runtime error 11"
// (try again) and leave the earlier BibTeX file and no temporary file. An
// editor that saves under the same name makes a new file: the open export is
// as it was, and the run converts what it opened.
TEST_F(MidRunFailureTest, ExportChangedBetweenTheReadingsIsNeverConverted) {
  struct Case {
    const char* promise;
    std::string first, second;
    const char* how;
    int exitCode;
  };
  auto records = [](std::initializer_list<const char*> keys) {
    std::string bytes;
    for (const char* key : keys) bytes += std::string("TYP: Art\r\nKUR: ") + key + "\r\nTIT: T\r\n\r\n";
    return bytes;
  };
  const std::vector<Case> cases = {
      {"a key changed", records({"A", "B"}), records({"A", "A"}), "over", 11},
      {"a record added", records({"X", "X"}), records({"X", "X", "X-2"}), "over", 11},
      {"a record taken away", records({"X", "Y"}), records({"X"}), "over", 11},
      {"the same keys, other text", records({"X", "Y"}), records({"X", "Y"}) + "\r\n", "over", 11},
      {"saved anew under the same name", records({"A", "B"}), records({"A", "A"}), "save", 0},
  };
  fs::create_directory(dir_ / "out");
  std::string bib = (dir_ / "out" / "out.bib").string();
  std::string secondPath = (dir_ / "second.txt").string();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.promise);
    writeFile(exportPath_, c.first);
    writeFile(secondPath, c.second);
    writeEarlierBibtex(bib);
    ProgramResult r = runWithTestDouble({exportPath_, bib}, "lseek 1 0 " + exportPath_,
                                        std::string(c.how) + " " + secondPath);
    EXPECT_EQ(readFile(exportPath_), c.second) << "the export was not changed";
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    if (c.exitCode == 0) {
      EXPECT_NE(readFile(bib).find("@ARTICLE{B,"), std::string::npos) << "not the export opened";
      continue;
    }
    EXPECT_EQ(r.err, "Runtime error 11 at rereading '" + exportPath_ + "'\r\n");
    EXPECT_EQ(r.out.find(" Eintr\x84ge geschrieben"), std::string::npos) << "reported success";
    expectEarlierBibtexKept(bib);
  }
}

// Memory runs out in the middle of the run (the fourth allocation of 64 KiB
// or more: after the console's, the export's and the BibTeX file's buffers,
// the table of the keys): the run ends with the system's out-of-memory
// number, not an abort, and leaves the earlier BibTeX file and no temporary
// file.
TEST_F(MidRunFailureTest, AllocationThatFailsEndsTheRunCleanly) {
  fs::create_directory(dir_ / "out");
  std::string bib = (dir_ / "out" / "out.bib").string();
  writeExport(20000);
  writeEarlierBibtex(bib);
  ProgramResult r = runWithTestDouble({exportPath_, bib}, "new 4 12 65536");
  EXPECT_EQ(r.signal, 0) << "aborted";
  EXPECT_EQ(r.exitCode, 12);
  EXPECT_EQ(r.err, "Runtime error 12 at allocate\r\n");
  expectEarlierBibtexKept(bib);
}

}  // namespace
