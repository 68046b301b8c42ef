// The command line, the console and every way a run can fail, seen from
// outside: console bytes, exit code, and what happens to the files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
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

TEST_F(CliTest, OptionsStandAnywhereAndHelpAndVersionWin) {
  const std::string usageLines = kUsage.substr(kUsage.find("Aufruf"));
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string out;  // after the banner; "" for the help text
    bool converts;
  };
  const std::vector<Case> cases = {
      {{"--version"}, 0, "", false},
      {{"X", "--version", "Y", "--bogus"}, 0, "", false},
      {{"--help"}, 0, "help", false},
      {{exportPath_, path("out.bib"), "--help"}, 0, "help", false},
      {{"--bogus", exportPath_, path("out.bib")}, 9, "Unbekannte Option: --bogus\r\n" + usageLines, false},
      {{exportPath_, path("out.bib"), "--encoding"}, 9, "Unbekannte Option: --encoding\r\n" + usageLines, false},
      {{exportPath_, path("out.bib"), "--enc\xFC"}, 9, "Unbekannte Option: --enc?\r\n" + usageLines, false},
      {{"--encoding=ebcdic", exportPath_, path("out.bib")}, 9,
       "Unbekannter Zeichensatz: ebcdic\r\n" + usageLines, false},
      {{"--encoding=CP437", exportPath_, "--encoding=utf8", path("out.bib")}, 0,
       consoleOfRun(2, "", 1, "Zeichensatz: UTF-8\r\n").substr(kBanner.size()), true},
      // After "--" every word is a word: here an ignored third word.
      {{exportPath_, "--", path("out.bib"), "--help"}, 0, consoleOfRun(2, "", 1).substr(kBanner.size()), true},
  };
  for (const Case& c : cases) {
    ProgramResult r = runProgram(c.args);
    std::string shown = c.args.empty() ? "" : c.args[0];
    EXPECT_EQ(r.exitCode, c.exitCode) << shown;
    if (c.out == "help") {
      EXPECT_TRUE(r.out.starts_with(kBanner + usageLines)) << r.out;
      EXPECT_NE(r.out.find("--encoding=NAME"), std::string::npos);
      EXPECT_NE(r.out.find("Exitcodes"), std::string::npos);
      EXPECT_TRUE(std::all_of(r.out.begin(), r.out.end(), [](char ch) { return ch > 0; })) << "not ASCII";
    } else {
      EXPECT_EQ(r.out, kBanner + c.out) << shown;
    }
    EXPECT_EQ(fileExists(path("out.bib")), c.converts) << shown;
    fs::remove(path("out.bib"));
  }
}

// A pipe can only tell its code page by a byte-order mark at its start.
TEST_F(CliTest, APipeIsReadInUtf8WhereItBeginsWithTheByteOrderMark) {
  const std::string record = "TYP: Art\nKUR: M\xC3\xBCller90\nTIT: Gr\xC3\xBC\xC3\x9F" "e\n\n";
  ProgramResult marked = talkToProgram({"/dev/stdin", path("marked.bib")},
                                       [&](Dialogue& d) { d.send("\xEF\xBB\xBF" + record); });
  EXPECT_EQ(marked.out, consoleOfRun(1, "", 0, "Zeichensatz: UTF-8\r\n"));
  std::string bib = readFile(path("marked.bib"));
  EXPECT_TRUE(bib.starts_with("@ARTICLE{Muller90,")) << bib;
  EXPECT_NE(bib.find("title       = \"Gr{\\\"u}\\ss{}e\""), std::string::npos) << bib;
  ProgramResult plain = talkToProgram({"/dev/stdin", path("plain.bib"), "--encoding=utf8"},
                                      [&](Dialogue& d) { d.send(record); });
  EXPECT_EQ(readFile(path("plain.bib")), readFile(path("marked.bib")));
}

// Counting the characters of UTF-8, the first reading met a lone carriage
// return that a reading by bytes takes as a line end: the records it saw
// are not the export's, whose keys are then decided as a pipe's are.
TEST_F(CliTest, LinesThatEndOnlyWhenReadByBytesGiveTheirRecords) {
  // By bytes, the first carriage return ends the long line and the next
  // line is empty, which closes the record.
  const std::string longLine = "TIT: " + std::string(300, '\x81') + "\r\r\nTYP: Art\n";
  writeFile(exportPath_, "TYP: Art\nKUR: A\nTIT: x\n\nTYP: Art\nKUR: A\n" + longLine + "\n");
  ProgramResult file = runProgram({exportPath_, path("file.bib")});
  EXPECT_EQ(file.exitCode, 0) << file.out << file.err;
  ProgramResult pipe = talkToProgram({"/dev/stdin", path("pipe.bib"), "--encoding=cp437"},
                                     [&](Dialogue& d) { d.send(readFile(exportPath_)); });
  EXPECT_EQ(readFile(path("file.bib")), readFile(path("pipe.bib")));
  EXPECT_NE(readFile(path("file.bib")).find("@ARTICLE{A-2,"), std::string::npos);
  EXPECT_NE(readFile(path("file.bib")).find("@ARTICLE{KART3,"), std::string::npos);
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

// The new BibTeX file takes the place of the earlier one without changing
// what the user made of it: its permission bits, a symbolic link to it,
// another name of it (a hard link: written in place), a device. A folder
// that takes no new file gets the file written in place. A new file gets
// 0666 less the umask. A name as long as a file name may be is replaced as
// any other: the temporary file has a short name of its own. A link in a
// sticky folder that the user owns is followed. No temporary file is left.
TEST_F(CliTest, ExistingBibtexFileIsReplaced) {
  const std::string earlier(100000, 'x');
  writeFile(path("old.bib"), earlier);
  fs::permissions(path("old.bib"), fs::perms(0604));
  fs::create_directory(dir_ / "real");
  writeFile(path("real/target.bib"), earlier);
  fs::create_symlink("real/target.bib", dir_ / "link.bib");
  writeFile(path("hard.bib"), earlier);
  fs::create_hard_link(dir_ / "hard.bib", dir_ / "hard2.bib");
  fs::create_directory(dir_ / "locked");
  writeFile(path("locked/out.bib"), earlier);
  fs::permissions(path("locked/out.bib"), fs::perms(0666));
  fs::permissions(dir_ / "locked", fs::perms(0555));
  const std::string longName = std::string(246, 'n') + ".bib";  // 250 characters
  writeFile(path(longName), earlier);
  // A sticky folder open to all, as /tmp is; the user's own link in it.
  fs::create_directory(dir_ / "sticky");
  chmod(path("sticky").c_str(), 01777);
  writeFile(path("real/open.bib"), earlier);
  fs::permissions(path("real/open.bib"), fs::perms(0666));
  fs::create_symlink("../real/open.bib", dir_ / "sticky/own.bib");
  const bool asRoot = geteuid() == 0;  // nobody can be made the owner
  lchown(path("sticky/own.bib").c_str(), 65534, 65534);  // nobody's, who runs it
  // A folder open to all, and a file in it that the new file could not get
  // the owner of.
  fs::create_directory(dir_ / "open");
  chmod(path("open").c_str(), 0777);
  writeFile(path("open/roots.bib"), earlier);
  fs::permissions(path("open/roots.bib"), fs::perms(0666));
  enum class Written { New, Replaced, InPlace };
  struct Case {
    std::string bibtex;  // named on the command line
    std::string holder;  // the file that must hold the entries
    int mode;            // its permission bits
    bool asNobody;       // run where the folder's permissions bind
    Written written;     // a new file, one that took the earlier one's place, or that one
  };
  std::vector<Case> cases = {
      {path("new.bib"), path("new.bib"), 0640, false, Written::New},
      {path("old.bib"), path("old.bib"), 0604, false, Written::Replaced},
      {path("link.bib"), path("real/target.bib"), 0644, false, Written::Replaced},
      {path("hard.bib"), path("hard2.bib"), 0644, false, Written::InPlace},
      {path("locked/out.bib"), path("locked/out.bib"), 0666, true, Written::InPlace},
      {path(longName), path(longName), 0644, false, Written::Replaced},
      {"/dev/null", "", 0, false, Written::New},
  };
  if (asRoot) {
    cases.push_back({path("sticky/own.bib"), path("real/open.bib"), 0666, true, Written::InPlace});
    cases.push_back({path("open/roots.bib"), path("open/roots.bib"), 0666, true, Written::InPlace});
  }
  auto inode = [](const std::string& file) {
    struct stat st {};
    return stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
  };
  mode_t umaskBefore = umask(027);
  for (const Case& c : cases) {
    ino_t before = inode(c.holder);
    ProgramResult r = runProgram({exportPath_, c.bibtex}, ConsoleTarget::Capture, "", c.asNobody);
    EXPECT_EQ(r.exitCode, 0) << c.bibtex << ": " << r.err;
    if (c.holder.empty()) continue;
    EXPECT_TRUE(readFile(c.holder) == readFile(path("new.bib"))) << c.bibtex << ": not replaced";
    EXPECT_EQ(static_cast<int>(fs::status(c.holder).permissions()), c.mode) << c.bibtex;
    if (c.written != Written::New) {
      EXPECT_EQ(inode(c.holder) == before, c.written == Written::InPlace)
          << c.bibtex << (c.written == Written::InPlace ? ": not written in place"
                                                         : ": written in place, not replaced");
    }
  }
  umask(umaskBefore);
  fs::permissions(dir_ / "locked", fs::perms(0755));
  EXPECT_EQ(readFile(path("new.bib")).find("@ARTICLE{Meier90,"), 0u);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.bib"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "sticky/own.bib"));
  struct stat roots {};
  EXPECT_TRUE(stat(path("open/roots.bib").c_str(), &roots) == 0 && roots.st_uid == geteuid());
  EXPECT_TRUE(fs::equivalent(dir_ / "hard.bib", dir_ / "hard2.bib"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
    EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
  }
}

// An access-control list on the earlier BibTeX file goes over to the new
// one whole: the user it names keeps its rights, and the group keeps its
// own, narrower than the list's mask, which the group bits show. A file
// without a list keeps having none where its folder would give new files
// one (a default list).
TEST_F(CliTest, AccessControlListOfTheBibtexFileIsKept) {
  fs::create_directory(dir_ / "shared");
  struct Case {
    std::string bib;
    std::string setup;  // setfacl's arguments, before the file's name
    std::string shows;  // an entry the list shows before and after
  };
  const std::vector<Case> cases = {
      {path("listed.bib"), "-m u:nobody:rw", "user:nobody:rw-"},
      {path("shared/unlisted.bib"), "-b", "group::r--"},
  };
  for (const Case& c : cases) writeFile(c.bib, "earlier");
  fs::permissions(path("listed.bib"), fs::perms(0600));
  const std::string setfacl = "setfacl -d -m u:nobody:rw " + path("shared") + " && setfacl " +
                              cases[0].setup + " " + cases[0].bib + " && setfacl " +
                              cases[1].setup + " " + cases[1].bib;
  if (std::system((setfacl + " 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "setfacl is missing or the file system here keeps no access-control lists";
  }
  const std::string listing = path("acl.txt");
  auto accessList = [&](const std::string& bib) {
    std::string command = "getfacl --omit-header --absolute-names " + bib + " > " + listing;
    return std::system(command.c_str()) == 0 ? readFile(listing) : "(getfacl failed)";
  };
  for (const Case& c : cases) {
    const std::string before = accessList(c.bib);
    ASSERT_NE(before.find(c.shows), std::string::npos) << before;
    ProgramResult r = runProgram({exportPath_, c.bib});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(c.bib).find("@ARTICLE{Meier90,"), 0u) << c.bib << ": not written";
    EXPECT_EQ(accessList(c.bib), before) << c.bib;
  }
  EXPECT_NE(accessList(cases[0].bib).find("group::---"), std::string::npos);
  EXPECT_EQ(static_cast<int>(fs::status(cases[0].bib).permissions()), 0660);
  fs::remove(listing);
}

// "/dev/fd/N" and "/proc/self/fd/N" write through the descriptor the program
// was given, as it stands: a file opened for appending keeps what it held.
// "/dev/stdout" writes through standard output; the console then goes to
// standard error, so that standard output holds the BibTeX file alone after
// the banner, which is shown before the file names are looked at.
TEST_F(CliTest, DescriptorNamesWriteWhereTheDescriptorStands) {
  ProgramResult reference = runProgram({exportPath_, path("reference.bib")});
  ASSERT_EQ(reference.exitCode, 0) << reference.err;
  const std::string bibtex = readFile(path("reference.bib"));
  const std::string earlier = "% earlier text\r\n";
  for (const std::string name : {"/dev/fd/3", "/proc/self/fd/3"}) {
    writeFile(path("appended.bib"), earlier);
    int fd = open(path("appended.bib").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ProgramResult r = runProgram({exportPath_, name}, ConsoleTarget::Capture, "", false, fd);
    close(fd);
    EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
    EXPECT_TRUE(readFile(path("appended.bib")) == earlier + bibtex) << name;
    EXPECT_EQ(r.out, reference.out) << name;
  }
  ProgramResult r =
      runProgram({exportPath_, "/dev/stdout"}, ConsoleTarget::File, path("console.txt"));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.out == bibtex) << r.out;
  EXPECT_EQ(r.err, reference.out);
}

// Every failed operation after the argument checks ends the run with the
// system's error number as exit code (5 for 8 and 9) and one "Runtime
// error" line. A symbolic link planted by another user in a sticky folder
// open to all (the BibTeX file's own or a folder's on the way) is refused
// as the kernel's protection for such folders refuses it, whatever that
// protection is set to: the file it leads to stays as it was.
TEST_F(CliTest, FailedFileOperationsEndWithRuntimeError) {
  fs::create_directory(dir_ / "outdir");
  fs::create_directory(dir_ / "sticky");
  chmod(path("sticky").c_str(), 01777);
  writeFile(path("victim.bib"), "root's own");
  fs::create_symlink("../victim.bib", dir_ / "sticky/planted.bib");
  lchown(path("sticky/planted.bib").c_str(), 65534, 65534);
  fs::create_directory(dir_ / "victims");
  fs::create_symlink("../victims", dir_ / "sticky/planted-folder");
  lchown(path("sticky/planted-folder").c_str(), 65534, 65534);
  struct Case {
    std::string output;
    int error;
    int exitCode;
    std::string operation;
  };
  std::vector<Case> cases = {
      {path("no/such/folder/out.bib"), 2, 2, "create"},  // ENOENT
      {path("outdir"), 21, 21, "create"},                // EISDIR
      {"/dev/full", 28, 28, "write"},                    // ENOSPC
      {"/dev/fd/987", 9, 5, "create"},  // EBADF: no such descriptor
  };
  if (geteuid() == 0) {  // only root can plant a link as another user
    cases.push_back({path("sticky/planted.bib"), 13, 13, "create"});  // EACCES
    cases.push_back({path("sticky/planted-folder/out.bib"), 13, 13, "create"});
  }
  for (const Case& c : cases) {
    ProgramResult r = runProgram({exportPath_, c.output});
    EXPECT_EQ(r.exitCode, c.exitCode) << c.output;
    EXPECT_EQ(r.err, "Runtime error " + std::to_string(c.error) + " at " + c.operation + " '" +
                         c.output + "'\r\n");
    EXPECT_EQ(r.out.find(" Eintr\x84ge geschrieben"), std::string::npos) << c.output;
    expectExportUnchanged();
  }
  EXPECT_EQ(readFile(path("victim.bib")), "root's own");
  EXPECT_TRUE(fs::is_empty(dir_ / "victims"));
}

TEST_F(CliTest, OutputFolderMissingStopsBeforeReading) {
  ProgramResult r = runProgram({exportPath_, path("none/out.bib")});
  EXPECT_EQ(r.out, kBanner);
}

// A console that cannot be written ends the run with its error: a pipe
// without a reader, a full disk, and a standard output that was closed
// (EBADF, exit code 5), which the program must not quietly replace.
TEST_F(CliTest, FailingConsoleEndsTheRun) {
  struct Case {
    ConsoleTarget console;
    int error;
    int exitCode;
  };
  for (const Case& c : {Case{ConsoleTarget::ClosedPipe, 32, 32}, Case{ConsoleTarget::DevFull, 28, 28},
                        Case{ConsoleTarget::Closed, 9, 5}}) {
    ProgramResult r = runProgram({exportPath_, path("out.bib")}, c.console);
    EXPECT_EQ(r.signal, 0) << "killed by a signal instead of reporting the failure";
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.err.rfind("Runtime error " + std::to_string(c.error) + " ", 0), 0u) << r.err;
    expectExportUnchanged();
  }
}

// What a terminal shows of a run: kartconv started with `environment` from a
// shell in a detached tmux session, and the text of its window.
std::string shownInTerminal(const std::string& environment, const std::string& arguments) {
  // A server of its own for each call: one that was just killed may still be
  // going away when the next call starts, and takes that call with it.
  static int calls = 0;
  const std::string tmux = "env -u TMUX tmux -f /dev/null -L kartconv_test_" +
                           std::to_string(getpid()) + "_" + std::to_string(++calls) + " ";
  const std::string command = "env -i " + environment + " " + KARTCONV_PROGRAM + " " +
                              arguments + "; tmux wait-for -S done";
  const fs::path shown = fs::temp_directory_path() /
                         ("kartconv_terminal_" + std::to_string(getpid()) + ".txt");
  bool ran = std::system((tmux + "new-session -d -x 200 -y 50 sh").c_str()) == 0 &&
             std::system((tmux + "send-keys -l '" + command + "'").c_str()) == 0 &&
             std::system((tmux + "send-keys Enter").c_str()) == 0 &&
             std::system(("timeout 30 " + tmux + "wait-for done").c_str()) == 0 &&
             std::system((tmux + "capture-pane -p -J > " + shown.string()).c_str()) == 0;
  std::system((tmux + "kill-server").c_str());
  std::string text = readFile(shown.string());
  fs::remove(shown);
  return ran ? text : "(tmux failed)";
}

// A terminal whose locale's character set is UTF-8 shows the console's
// letters as letters; any other terminal, a pipe and a file (every other
// test here runs in a UTF-8 locale too) get the code page 437 bytes. The
// locale is taken as named (the first of LC_ALL, LC_CTYPE and LANG that is
// set and not empty), whether or not it is installed; and the question is
// asked of the console's own stream, not of standard input.
TEST_F(CliTest, TerminalInUtf8ShowsTheLetters) {
  if (std::system("tmux -V > /dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed";
  const std::string arguments = exportPath_ + " " + path("out.bib") + " Nr2Note";
  for (const std::string environment :
       {"LANG=C.UTF-8", "LANG=xx_XX.UTF-8", "LC_ALL= LC_CTYPE=yy_YY.utf8 LANG=C"}) {
    std::string shown = shownInTerminal(environment, arguments);
    EXPECT_NE(shown.find("\n2 Eintr\xc3\xa4ge geschrieben\n"), std::string::npos)
        << environment << ": " << shown;
    EXPECT_NE(shown.find("\n1 Schl\xc3\xbcssel neu vergeben (leer oder doppelt)\n"),
              std::string::npos)
        << environment << ": " << shown;  // the export's two records share their key
    EXPECT_NE(shown.find("\nLfde. Nr. als Note hinzugef\xc3\xbcgt\n"), std::string::npos)
        << environment << ": " << shown;
  }
  // tmux leaves out the bytes that are not UTF-8.
  std::string shown = shownInTerminal("LANG=C", arguments);
  EXPECT_NE(shown.find("\n2 Eintrge geschrieben\n"), std::string::npos) << shown;

  const std::string closing = "Lfde. Nr. als Note hinzugef\x81gt\r\n";
  ProgramResult r = runProgram({exportPath_, path("out.bib"), "Nr2Note"}, ConsoleTarget::Pipe);
  EXPECT_EQ(r.out, consoleOfRun(2, closing, 1));
  // Started from the terminal, its console sent to a file.
  shownInTerminal("LANG=C.UTF-8", arguments + " > " + path("console.txt"));
  EXPECT_EQ(readFile(path("console.txt")), consoleOfRun(2, closing, 1));
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

// An export that arrives slowly through a pipe: "Schreibe Eintraege " shows
// as soon as the first record is read, and the dots show while the entries
// are written, not only when the export ends.
// A repeated key's suffix skips the keys of later records where the export
// can be read twice; an export through a pipe is read once, so its suffixes
// avoid only the keys seen so far, and the later record gives way instead.
TEST_F(CliTest, SuffixesKnowLaterKeysOnlyWhereTheExportIsReadTwice) {
  const std::string bytes = "TYP: Art\nKUR: X\n\nTYP: Art\nKUR: x\n\nTYP: Art\nKUR: X-2\n\n";
  auto keys = [](const std::string& bib) {
    std::string found;
    for (std::size_t at = bib.find("@ARTICLE{"); at != std::string::npos;
         at = bib.find("@ARTICLE{", at + 1)) {
      found += bib.substr(at + 9, bib.find(',', at) - at - 9) + " ";
    }
    return found;
  };
  writeFile(exportPath_, bytes);
  ProgramResult file = runProgram({exportPath_, path("file.bib")});
  EXPECT_EQ(keys(readFile(path("file.bib"))), "X x-3 X-2 ");
  EXPECT_EQ(file.out, consoleOfRun(3, "", 1));
  ProgramResult pipe = talkToProgram({"/dev/stdin", path("pipe.bib")},
                                     [&](Dialogue& d) { d.send(bytes); });
  EXPECT_EQ(keys(readFile(path("pipe.bib"))), "X x-2 X-2-2 ");
  EXPECT_EQ(pipe.out, consoleOfRun(3, "", 2));
}

TEST_F(CliTest, ProgressShowsWhileASlowExportArrives) {
  auto record = [](int i) { return "TYP: Art\nKUR: Key" + std::to_string(i) + "\n\n"; };
  ProgramResult r = talkToProgram({"/dev/stdin", path("out.bib")}, [&](Dialogue& d) {
    d.send(record(0));
    EXPECT_TRUE(d.waitFor("Schreibe Eintraege ")) << "not shown while waiting for the export";
    for (int i = 1; i <= 100; ++i) {
      d.send(record(i));
      usleep(5000);
    }
    EXPECT_TRUE(d.waitFor("Schreibe Eintraege .")) << "no dots while the export was open";
  });
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, consoleOfRun(101));
}

}  // namespace
