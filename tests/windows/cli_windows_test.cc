// kartconv.exe seen from the Windows console: how its command line is split,
// that names outside the ANSI code page open as typed, the console bytes, and
// the Windows error codes of every way a run can fail.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "../../src/io/byte_scan.h"
#include "../e2e/expected_console.h"
#include "run_windows_program.h"

// The Windows programs are built for SSE2, as every x86-64 build is
// (cmake/mingw-w64-i686.cmake), so that the byte scans take the same
// sixteen-byte path that the Linux tests run. These tests are compiled with
// the program's options; scripts/check-windows looks at the program's code.
#ifndef KARTCONV_SCAN_SIXTEEN
#error "The byte scans take their fallback path: the Windows build lacks -msse2"
#endif

namespace fs = std::filesystem;

namespace {

const std::string kNoExport = kBanner + "Angegebene KART-Datei existiert nicht\r\n";
const std::string kAdded = "Lfde. Nr. als Note hinzugef\x81gt\r\n";
const std::string kRecord =
    "TYP: Artikel\r\nKUR: Meier90\r\nAUT: M\x81ller, Hans\r\nTIT: Titel\r\nLNR: 17\r\n\r\n";
const std::string kExport = kRecord + kRecord;

// The console of a run over the two records of kExport, whose keys are the
// same: the second is given anew. Its "ü" is code page 437's alone.
std::string progress(const std::string& closing = "") {
  return consoleOfRun(2, closing, 1, "Zeichensatz: Codepage 437\r\n");
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The files of `folder` whose names begin with a dot: a temporary BibTeX
// file that a run left behind.
std::set<std::wstring> dotFiles(const fs::path& folder) {
  std::set<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::wstring name = entry.path().filename().wstring();
    if (name.front() == L'.') names.insert(name);
  }
  return names;
}

class WindowsCli : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kartconv_win_" + std::to_string(GetCurrentProcessId()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "sub");
    writeFile(dir_ / "export.txt", kExport);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  WindowsRun run(const std::wstring& arguments, ConsoleTarget console = ConsoleTarget::Capture) {
    return runWindowsProgram(kartconvPath(), arguments, dir_.wstring(), console);
  }

  // What a plain run writes, to compare runs under other names with.
  std::string plainBibtex() {
    WindowsRun r = run(L"export.txt plain.bib");
    EXPECT_EQ(r.exitCode, 0u);
    return readFile(dir_ / "plain.bib");
  }

  fs::path dir_;
};

struct CommandLineCase {
  const wchar_t* arguments;
  unsigned long exitCode;
  const wchar_t* created;  // the BibTeX file the run must create, if any
  std::string out;
};

TEST_F(WindowsCli, CommandLineIsSplitByTheConsoleRules) {
  const CommandLineCase cases[] = {
      {L"export.txt out.bib", 0, L"out.bib", progress()},
      // Tabs and the other control characters separate words like blanks.
      {L"export.txt\tout.bib\x01\x1f", 0, L"out.bib", progress()},
      // Empty quotes are no word, so they do not count as an argument.
      {L"\"\" export.txt \"\" out.bib \"\"", 0, L"out.bib", progress()},
      // Quotes group blanks anywhere in a word and are removed; one never
      // closed runs to the end of the line.
      {L"ex\"port\".txt \"out file.bib", 0, L"out file.bib", progress()},
      {L"export.txt o\"ut fi\"le.bib", 0, L"out file.bib", progress()},
      {L"export.txt out.bib nR2nOtE", 0, L"out.bib", progress(kAdded)},
      {L"export.txt out.bib \"Nr2Note\"", 0, L"out.bib", progress(kAdded)},
      {L"export.txt out.bib Nr2Notes", 0, L"out.bib", progress()},
      {L"\"export.txt out.bib\"", 9, nullptr, kBanner + kUsage},
      {L"export.txt out.bib Nr2Note x", 9, nullptr, kBanner + kUsage},
      {L"\"\" \"\"\"\"", 9, nullptr, kBanner + kUsage},
      // A backslash does not escape the quote after it: the first word is
      // the folder "sub\", not "sub\" out.bib".
      {L"\"sub\\\" out.bib", 8, nullptr, kNoExport},
  };
  for (const CommandLineCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.arguments)));
    WindowsRun r = run(c.arguments);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, "");
    if (c.created != nullptr) {
      EXPECT_TRUE(fs::exists(dir_ / c.created));
      fs::remove(dir_ / c.created);
    }
    EXPECT_FALSE(fs::exists(dir_ / L"out.bib"));
    EXPECT_EQ(dotFiles(dir_), std::set<std::wstring>{});
  }
  EXPECT_EQ(readFile(dir_ / "export.txt"), kExport);
}

TEST_F(WindowsCli, NamesOutsideTheAnsiCodePageOpenExactlyAsTyped) {
  // German, Greek and Cyrillic letters and the euro sign: no single ANSI or
  // OEM code page holds them all.
  const std::wstring exportName = L"B\u00fccher \u03b1\u03b2 \u20ac.txt";
  const std::wstring bibName = L"Ergebnis \u041c\u0438\u0440 \u00e4.bib";
  writeFile(dir_ / exportName, kExport);
  WindowsRun r = run(L"\"" + exportName + L"\" \"" + bibName + L"\"");
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_EQ(r.out, progress());
  EXPECT_EQ(readFile(dir_ / bibName), plainBibtex());
}

TEST_F(WindowsCli, ProgramInAFolderWithBlanksFindsItsArguments) {
  fs::create_directories(dir_ / "Programme mit Leerzeichen");
  const fs::path program = dir_ / "Programme mit Leerzeichen" / "kartconv.exe";
  fs::copy_file(kartconvPath(), program);
  WindowsRun r = runWindowsProgram(program.wstring(), L"export.txt out.bib", dir_.wstring());
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_EQ(r.out, progress());
}

struct FailureCase {
  const wchar_t* arguments;
  unsigned long exitCode;
  std::string err;
};

TEST_F(WindowsCli, FailuresEndWithTheWindowsErrorCode) {
  // A BibTeX file that another program holds open without sharing it.
  writeFile(dir_ / "locked.bib", "old");
  HANDLE locked = CreateFileW((dir_ / "locked.bib").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  const FailureCase cases[] = {
      {L"export.txt missing\\out.bib", 3, "Runtime error 3 at create 'missing\\out.bib'\r\n"},
      // The name in the failure line is in the OEM code page (437 or 850 both
      // have the "ä" as byte 132); a letter the code page lacks shows as "?".
      {L"export.txt \"Ordner \u00e4\u0416\\out.bib\"", 3,
       "Runtime error 3 at create 'Ordner \x84?\\out.bib'\r\n"},
      {L"export.txt sub", 5, "Runtime error 5 at create 'sub'\r\n"},
      {L"export.txt locked.bib", 32, "Runtime error 32 at create 'locked.bib'\r\n"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.arguments)));
    WindowsRun r = run(c.arguments);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, kBanner);  // the run ends before it reads a record
    EXPECT_EQ(dotFiles(dir_), std::set<std::wstring>{});
  }
  CloseHandle(locked);
  EXPECT_EQ(readFile(dir_ / "locked.bib"), "old");
}

// The new file is written beside the earlier one and moved over it at the
// end; nothing else is left in the folder.
TEST_F(WindowsCli, ExistingBibtexFileIsReplaced) {
  writeFile(dir_ / "out.bib", std::string(10000, 'x'));
  WindowsRun r = run(L"export.txt out.bib");
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_TRUE(readFile(dir_ / "out.bib") == plainBibtex());
  std::set<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(dir_)) names.insert(entry.path().filename());
  EXPECT_EQ(names, (std::set<std::wstring>{L"export.txt", L"out.bib", L"plain.bib", L"sub"}));
}

// A BibTeX file that another program reads without letting it be deleted
// (as an editor may) cannot be replaced: the run fails at the rename, after
// the whole new file was written, and leaves the earlier file and no
// temporary file. The error number is the system's (32 on Windows).
TEST_F(WindowsCli, BibtexFileThatCannotBeReplacedStaysAsItWas) {
  writeFile(dir_ / "held.bib", "old");
  HANDLE held = CreateFileW((dir_ / "held.bib").c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  WindowsRun r = run(L"export.txt held.bib");
  CloseHandle(held);
  EXPECT_NE(r.exitCode, 0u);
  EXPECT_EQ(r.err, "Runtime error " + std::to_string(r.exitCode) + " at rename 'held.bib'\r\n");
  EXPECT_EQ(r.out, progress());
  EXPECT_EQ(readFile(dir_ / "held.bib"), "old");
  EXPECT_EQ(dotFiles(dir_), std::set<std::wstring>{});
}

// ReplaceFileW gives the new file the earlier file's creation time and
// attributes. Wine's file systems hold neither a creation time of one's own
// nor such attributes (every file shows the archive bit), so there the test
// has nothing to compare.
TEST_F(WindowsCli, ReplacedBibtexFileKeepsItsCreationTimeAndAttributes) {
  const fs::path bib = dir_ / "out.bib";
  writeFile(bib, "old");
  const FILETIME created{0x12345678, 0x01c00000};  // in 1988
  HANDLE file = CreateFileW(bib.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(file, &created, nullptr, nullptr));
  CloseHandle(file);
  ASSERT_TRUE(SetFileAttributesW(bib.c_str(), FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
  WIN32_FILE_ATTRIBUTE_DATA before;
  ASSERT_TRUE(GetFileAttributesExW(bib.c_str(), GetFileExInfoStandard, &before));
  if (CompareFileTime(&before.ftCreationTime, &created) != 0 ||
      before.dwFileAttributes != FILE_ATTRIBUTE_NOT_CONTENT_INDEXED) {
    GTEST_SKIP() << "this file system keeps no creation time or attributes of its own";
  }
  WindowsRun r = run(L"export.txt out.bib");
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  WIN32_FILE_ATTRIBUTE_DATA after;
  ASSERT_TRUE(GetFileAttributesExW(bib.c_str(), GetFileExInfoStandard, &after));
  EXPECT_EQ(CompareFileTime(&after.ftCreationTime, &created), 0);
  EXPECT_NE(after.dwFileAttributes & FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, 0u);
  EXPECT_EQ(readFile(bib), plainBibtex());
  EXPECT_EQ(dotFiles(dir_), std::set<std::wstring>{});
}

bool runsUnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

TEST_F(WindowsCli, ReadOnlyBibtexFileIsAccessDenied) {
  // Wine keeps the read-only mark in the Linux write permission, which the
  // root user (who runs CI) may ignore; Windows refuses anyone.
  if (runsUnderWine()) GTEST_SKIP() << "Wine lets root write read-only files";
  writeFile(dir_ / "readonly.bib", "old");
  SetFileAttributesW((dir_ / "readonly.bib").c_str(), FILE_ATTRIBUTE_READONLY);
  WindowsRun r = run(L"export.txt readonly.bib");
  SetFileAttributesW((dir_ / "readonly.bib").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(r.exitCode, 5u);
  EXPECT_EQ(r.err, "Runtime error 5 at create 'readonly.bib'\r\n");
  EXPECT_EQ(readFile(dir_ / "readonly.bib"), "old");
}

TEST_F(WindowsCli, MissingExportOrFolderGivesExitCode8AndCreatesNothing) {
  // An export that another program holds open without sharing cannot be read.
  writeFile(dir_ / "locked.txt", kExport);
  HANDLE locked = CreateFileW((dir_ / "locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  for (const wchar_t* name : {L"missing.txt", L"sub", L"sub\\", L"locked.txt"}) {
    WindowsRun r = run(std::wstring(name) + L" out.bib");
    EXPECT_EQ(r.exitCode, 8u) << name;
    EXPECT_EQ(r.out, kNoExport);
    EXPECT_FALSE(fs::exists(dir_ / "out.bib"));
  }
  CloseHandle(locked);
}

TEST_F(WindowsCli, FullDiskEndsWithError112) {
  // Wine shows Linux's /dev/full, whose every write fails for lack of space,
  // as Z:\dev\full. Windows has no such file.
  HANDLE full = CreateFileW(L"Z:\\dev\\full", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (full == INVALID_HANDLE_VALUE) GTEST_SKIP() << "no Z:\\dev\\full outside Wine";
  CloseHandle(full);
  WindowsRun r = run(L"export.txt Z:\\dev\\full");
  EXPECT_EQ(r.exitCode, 112u);
  EXPECT_EQ(r.err, "Runtime error 112 at write 'Z:\\dev\\full'\r\n");
}

TEST_F(WindowsCli, SameFileUnderAnotherNameIsRefused) {
  ASSERT_TRUE(CreateHardLinkW((dir_ / "link.txt").c_str(), (dir_ / "export.txt").c_str(), nullptr));
  const std::wstring names[] = {
      L"export.txt",  L"EXPORT.TXT", L".\\export.txt", L"sub\\..\\export.txt",
      (dir_ / "export.txt").wstring(), L"link.txt",
  };
  for (const std::wstring& name : names) {
    WindowsRun r = run(L"export.txt \"" + name + L"\"");
    EXPECT_EQ(r.exitCode, 7u) << testing::PrintToString(name);
    EXPECT_EQ(r.out, kBanner + "KART-Datei und BibTeX-Datei sind dieselbe Datei\r\n");
    EXPECT_EQ(r.err, "");
  }
  EXPECT_EQ(readFile(dir_ / "export.txt"), kExport);
}

TEST_F(WindowsCli, ClosedConsoleEndsWithTheWriteError) {
  // Writing to a pipe nobody reads fails with ERROR_NO_DATA (232).
  WindowsRun r = run(L"export.txt out.bib", ConsoleTarget::ClosedPipe);
  EXPECT_EQ(r.exitCode, 232u);
  EXPECT_EQ(r.err, "Runtime error 232 at write 'console'\r\n");
}

}  // namespace
