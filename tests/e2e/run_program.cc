#include "run_program.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <poll.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string tempPath(const char* stem) {
  static int counter = 0;
  return std::string("/tmp/kartconv_cli_") + std::to_string(getpid()) + "_" + stem +
         std::to_string(counter++);
}

// In the child: runs the program on `args` in place of the child, with the
// descriptors 0 to `lastDescriptor` and nothing else the test process holds.
[[noreturn]] void execProgram(const std::vector<std::string>& args, int lastDescriptor = 2) {
  // The test runner may ignore SIGPIPE, or the interruptions (a background
  // job does); the program must manage on its own and meet them as a
  // program started from a terminal does.
  for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) signal(sig, SIG_DFL);
  close_range(static_cast<unsigned>(lastDescriptor) + 1, ~0u, 0);
  setenv("LC_ALL", "C.UTF-8", 1);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(KARTCONV_PROGRAM));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(KARTCONV_PROGRAM, argv.data());
  _exit(127);
}

}  // namespace

void Dialogue::send(const std::string& bytes) {
  if (::write(input, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    std::abort();
  }
}

bool Dialogue::waitFor(const std::string& text) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (shown.find(text) == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{console, POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[512];
    ssize_t n = read(console, buffer, sizeof buffer);
    if (n <= 0) return false;
    shown.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

ProgramResult talkToProgram(const std::vector<std::string>& args,
                            const std::function<void(Dialogue&)>& talk) {
  int input[2], console[2];
  if (pipe(input) != 0 || pipe(console) != 0) std::abort();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(input[0], STDIN_FILENO);
    dup2(console[1], STDOUT_FILENO);
    for (int fd : {input[0], input[1], console[0], console[1]}) close(fd);
    execProgram(args);
  }
  close(input[0]);
  close(console[1]);
  Dialogue dialogue{input[1], console[0], "", pid};
  talk(dialogue);
  close(input[1]);
  char buffer[512];
  for (ssize_t n; (n = read(console[0], buffer, sizeof buffer)) > 0;) {
    dialogue.shown.append(buffer, static_cast<std::size_t>(n));
  }
  close(console[0]);
  ProgramResult result;
  result.out = dialogue.shown;
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

ProgramResult runProgram(const std::vector<std::string>& args, ConsoleTarget console,
                         const std::string& consolePath, bool asNobody, int descriptor3) {
  std::string outPath = tempPath("out");
  std::string errPath = tempPath("err");
  int pipeFds[2] = {-1, -1};
  if (console == ConsoleTarget::ClosedPipe) {
    if (pipe(pipeFds) != 0) std::abort();
    // Nobody will ever read. Closed before the program starts, so that even
    // its first write fails; closed later, a fast run could finish while the
    // pipe still had a reader.
    close(pipeFds[0]);
  }
  bool readsPipe = console == ConsoleTarget::Pipe || console == ConsoleTarget::PipeClosedMidRun;
  if (readsPipe && pipe(pipeFds) != 0) std::abort();

  pid_t pid = fork();
  if (pid == 0) {
    int out = -1;
    switch (console) {
      case ConsoleTarget::Capture:
        out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        break;
      case ConsoleTarget::Closed:
        break;
      case ConsoleTarget::ClosedPipe:
        out = pipeFds[1];
        break;
      case ConsoleTarget::DevFull:
        out = open("/dev/full", O_WRONLY);
        break;
      case ConsoleTarget::File:
        out = open(consolePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        break;
      case ConsoleTarget::Pipe:
      case ConsoleTarget::PipeClosedMidRun:
        close(pipeFds[0]);
        out = pipeFds[1];
        break;
    }
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // Moved out of the way first, so that no dup2 below overwrites them.
    out = out < 0 ? -1 : fcntl(out, F_DUPFD, 10);
    err = fcntl(err, F_DUPFD, 10);
    int third = descriptor3 < 0 ? -1 : fcntl(descriptor3, F_DUPFD, 10);
    if (out < 0) close(STDOUT_FILENO);
    else dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (third >= 0) dup2(third, 3);
    if (asNobody && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
      _exit(126);
    }
    execProgram(args, third >= 0 ? 3 : 2);
  }
  if (console == ConsoleTarget::ClosedPipe) close(pipeFds[1]);
  ProgramResult result;
  if (readsPipe) {
    close(pipeFds[1]);
    char buffer[512];
    ssize_t n = 0;
    while ((console == ConsoleTarget::Pipe ||
            result.out.find("Schreibe Eintraege .") == std::string::npos) &&
           (n = read(pipeFds[0], buffer, sizeof buffer)) > 0) {
      result.out.append(buffer, static_cast<std::size_t>(n));
    }
    close(pipeFds[0]);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  if (console == ConsoleTarget::Capture) result.out = readFile(outPath);
  if (console == ConsoleTarget::File) result.out = readFile(consolePath);
  result.err = readFile(errPath);
  unlink(outPath.c_str());
  unlink(errPath.c_str());
  return result;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool fileExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::filesystem::path freshTestFolder(const std::string& stem) {
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      ("kartconv_" + stem + "_" + std::to_string(getpid()) + "_" +
       testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}
