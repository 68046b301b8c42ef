// POSIX side of the platform layer.
#include "platform/platform.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// A failure that left errno at 0 must still never look like success.
int lastError() { return errno != 0 ? errno : EIO; }

}  // namespace

void prepareProcess() { std::signal(SIGPIPE, SIG_IGN); }

std::vector<std::string> commandWords(int argc, char** argv) {
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] != '\0') words.emplace_back(argv[i]);
  }
  return words;
}

bool isReadableFile(const std::string& name) {
  if (name.empty()) return false;
  int fd = ::open(name.c_str(), O_RDONLY);
  if (fd < 0) return false;
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  if (::close(fd) != 0) ok = false;
  return ok;
}

bool isSameFile(const std::string& input, const std::string& output) {
  struct stat in, out;
  if (::stat(input.c_str(), &in) != 0 || ::stat(output.c_str(), &out) != 0) return false;
  return in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

int openForReading(const std::string& name, File& file) {
  errno = 0;
  file = ::open(name.c_str(), O_RDONLY);
  return file < 0 ? lastError() : 0;
}

int createForWriting(const std::string& name, File& file) {
  errno = 0;
  file = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  return file < 0 ? lastError() : 0;
}

int readSome(File file, char* buffer, std::size_t capacity, std::size_t& got) {
  for (;;) {
    errno = 0;
    ssize_t n = ::read(file, buffer, capacity);
    if (n >= 0) {
      got = static_cast<std::size_t>(n);
      return 0;
    }
    if (errno != EINTR) return lastError();
  }
}

int writeAll(File file, const char* data, std::size_t size) {
  while (size > 0) {
    errno = 0;
    ssize_t n = ::write(file, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return lastError();
    }
    if (n == 0) return EIO;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

int closeFile(File file) {
  errno = 0;
  return ::close(file) != 0 ? lastError() : 0;
}

bool canReadAgain(File file) {
  struct stat st;
  return ::fstat(file, &st) == 0 && S_ISREG(st.st_mode);
}

int rewindFile(File file) {
  errno = 0;
  return ::lseek(file, 0, SEEK_SET) < 0 ? lastError() : 0;
}

std::string consoleName(std::string_view name) { return std::string(name); }

File standardOutput() { return STDOUT_FILENO; }
File standardError() { return STDERR_FILENO; }

void exitProcess(int code) { ::_exit(code); }

}  // namespace platform
