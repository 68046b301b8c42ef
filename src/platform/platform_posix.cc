// POSIX side of the platform layer.
#include "platform/platform.h"

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// A failure that left errno at 0 must still never look like success.
int lastError() { return errno != 0 ? errno : EIO; }

// The file that writing to `name` would change: the file a symbolic link
// leads to, or `name` itself. Empty when a link leads nowhere.
std::string fileBehind(const std::string& name) {
  struct stat st;
  if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
  char* real = ::realpath(name.c_str(), nullptr);
  if (real == nullptr) return {};
  std::string target = real;
  std::free(real);
  return target;
}

// True when the temporary file could replace `target`: a regular file of
// its own that the user may write, or a name not taken yet. `existing` tells
// which, and `st` holds the file's owner and mode.
bool isReplaceable(const std::string& target, bool& existing, struct stat& st) {
  if (target.empty() || target.back() == '/') return false;
  existing = ::stat(target.c_str(), &st) == 0;
  if (!existing) return errno == ENOENT;
  if (!S_ISREG(st.st_mode) || st.st_nlink != 1) return false;
  // A file the user may not write must fail as before, not be replaced.
  int probe = ::open(target.c_str(), O_WRONLY);
  if (probe < 0) return false;
  ::close(probe);
  return true;
}

// Gives the new file `file` the owner, group and permission bits of the file
// it replaces, or those of a newly created file. False where it cannot.
bool takeOver(int file, bool existing, const struct stat& old) {
  if (!existing) {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return ::fchmod(file, 0666 & ~mask) == 0;
  }
  struct stat now;
  if (::fstat(file, &now) != 0) return false;
  if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
      ::fchown(file, old.st_uid, old.st_gid) != 0) {
    return false;
  }
  return ::fchmod(file, old.st_mode & 07777) == 0;
}

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

int createReplacement(const std::string& name, File& file, Replacement& replacement) {
  replacement = Replacement{};
  std::string target = fileBehind(name);
  bool existing = false;
  struct stat old;
  if (!isReplaceable(target, existing, old)) return createForWriting(name, file);
  std::size_t slash = target.rfind('/');
  std::size_t base = slash == std::string::npos ? 0 : slash + 1;
  // Hidden, named after the file, and unique: ".literatur.bib.Ab12Cd".
  std::string temporary = target.substr(0, base) + "." + target.substr(base) + ".XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) return createForWriting(name, file);
  if (!takeOver(fd, existing, old)) {
    ::close(fd);
    ::unlink(temporary.c_str());
    return createForWriting(name, file);
  }
  file = fd;
  replacement.temporaryName = temporary;
  replacement.targetName = target;
  return 0;
}

int syncFile(File file) {
  errno = 0;
  return ::fsync(file) != 0 ? lastError() : 0;
}

int commitReplacement(Replacement& replacement) {
  errno = 0;
  return ::rename(replacement.temporaryName.c_str(), replacement.targetName.c_str()) != 0
             ? lastError()
             : 0;
}

void abandonReplacement(Replacement& replacement) { ::unlink(replacement.temporaryName.c_str()); }

void removeTemporaryOnInterrupt() {}

int outOfMemoryError() { return ENOMEM; }

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

bool consoleShowsUtf8(File console) {
  if (!::isatty(console)) return false;
  // The locale is asked here only; everything else runs in the "C" locale.
  if (std::setlocale(LC_CTYPE, "") == nullptr) return false;
  bool utf8 = std::strcmp(::nl_langinfo(CODESET), "UTF-8") == 0;
  std::setlocale(LC_CTYPE, "C");
  return utf8;
}

File standardOutput() { return STDOUT_FILENO; }
File standardError() { return STDERR_FILENO; }

void exitProcess(int code) { ::_exit(code); }

}  // namespace platform
