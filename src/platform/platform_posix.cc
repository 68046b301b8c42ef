// POSIX side of the platform layer.
#include "platform/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {
namespace {

// A failure that left errno at 0 must still never look like success.
int lastError() { return errno != 0 ? errno : EIO; }

// A descriptor that is closed when it goes out of scope, unless released.
class OwnedFile {
 public:
  OwnedFile() = default;
  explicit OwnedFile(int fd) : fd_(fd) {}
  OwnedFile(const OwnedFile&) = delete;
  OwnedFile& operator=(const OwnedFile&) = delete;
  ~OwnedFile() { reset(-1); }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// --- Following the BibTeX file's name -------------------------------------

// As many symbolic links as the kernel follows in one name before it gives
// up with ELOOP.
constexpr int kMaxLinks = 40;

// procfs, whose links in /proc/<pid>/fd lead to open files, not to names.
constexpr long kProcSuperMagic = 0x9fa0;

// Where the BibTeX file's name leads: the folder it stands in (held open, so
// that nothing in the path can be swapped later) and the name in it.
struct Place {
  OwnedFile folder;
  std::string name;          // "." where the name ends in a folder
  bool exists = false;
  struct stat st {};         // the entry itself, never what a link leads to
  bool kernelLink = false;   // a link in /proc, which only open can follow
};

// Puts the parts of `path` onto `pending` so that the first part is taken
// first (from the back). A name ending in "/" must end in a folder: a final
// "." makes it so.
void pushParts(const std::string& path, std::vector<std::string>& pending) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (slash > start) parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  if (path.back() == '/') parts.emplace_back(".");
  pending.insert(pending.end(), parts.rbegin(), parts.rend());
}

// A symbolic link in a sticky, world-writable folder such as /tmp, planted
// by someone who owns neither the link nor the folder, could send the
// user's BibTeX file over any file the user may write. Such a link is
// refused as the kernel refuses it where fs.protected_symlinks is on, and
// here whatever that setting says.
bool isPlantedLink(int folder, const struct stat& link) {
  struct stat holder;
  if (::fstat(folder, &holder) != 0) return true;
  constexpr mode_t kShared = S_ISVTX | S_IWOTH;
  if ((holder.st_mode & kShared) != kShared) return false;
  return link.st_uid != ::geteuid() && link.st_uid != holder.st_uid;
}

// The text of the link `link` (a descriptor of the link itself).
int readLink(int link, std::string& target) {
  std::string buffer(256, '\0');
  for (;;) {
    ssize_t n = ::readlinkat(link, "", buffer.data(), buffer.size());
    if (n < 0) return lastError();
    if (static_cast<std::size_t>(n) < buffer.size()) {
      target.assign(buffer.data(), static_cast<std::size_t>(n));
      return 0;
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool onProcfs(int folder) {
  struct statfs fs;
  return ::fstatfs(folder, &fs) == 0 && static_cast<long>(fs.f_type) == kProcSuperMagic;
}

// Follows `path` one part at a time through descriptors, as the kernel
// would, but checking each link before it is followed, and reading it
// through the very descriptor that was checked.
int findPlace(const std::string& path, Place& place) {
  if (path.empty()) return ENOENT;
  std::vector<std::string> pending;
  pushParts(path, pending);
  place.folder.reset(::openat(AT_FDCWD, path[0] == '/' ? "/" : ".",
                              O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!place.folder.valid()) return lastError();
  int links = 0;
  for (;;) {
    if (pending.empty()) {
      // The name ends in a folder ("/", "a/..", "a/."): opening it to
      // write gives EISDIR.
      place.name = ".";
      place.exists = ::fstat(place.folder.get(), &place.st) == 0;
      return place.exists ? 0 : lastError();
    }
    std::string part = std::move(pending.back());
    pending.pop_back();
    bool last = pending.empty();
    if (part == "." || part == "..") {
      if (part == "..") {
        int parent = ::openat(place.folder.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (parent < 0) return lastError();
        place.folder.reset(parent);
      }
      continue;
    }
    OwnedFile entry(::openat(place.folder.get(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!entry.valid()) {
      if (errno == ENOENT && last) {
        place.name = std::move(part);
        place.exists = false;
        return 0;
      }
      return lastError();
    }
    struct stat st;
    if (::fstat(entry.get(), &st) != 0) return lastError();
    if (S_ISLNK(st.st_mode)) {
      if (++links > kMaxLinks) return ELOOP;
      if (isPlantedLink(place.folder.get(), st)) return EACCES;
      if (last && onProcfs(place.folder.get())) {
        place.name = std::move(part);
        place.exists = true;
        place.st = st;
        place.kernelLink = true;
        return 0;
      }
      std::string target;
      if (int error = readLink(entry.get(), target); error != 0) return error;
      if (target.empty()) return ENOENT;
      if (target[0] == '/') {
        place.folder.reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!place.folder.valid()) return lastError();
      }
      pushParts(target, pending);
      continue;
    }
    if (last) {
      place.name = std::move(part);
      place.exists = true;
      place.st = st;
      return 0;
    }
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    place.folder.reset(entry.release());
  }
}

// "/dev/stdout", "/dev/stderr", "/dev/fd/N" and "/proc/self/fd/N": the
// descriptor they name, or -1 for any other name.
int namedDescriptor(const std::string& name) {
  if (name == "/dev/stdout") return STDOUT_FILENO;
  if (name == "/dev/stderr") return STDERR_FILENO;
  std::string_view digits;
  for (std::string_view prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
      digits = std::string_view(name).substr(prefix.size());
    }
  }
  if (digits.empty()) return -1;
  // A number past any descriptor there can be still names a descriptor,
  // one that is not open.
  constexpr int kBeyondAny = 1 << 30;
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    number = number >= kBeyondAny / 10 ? kBeyondAny : number * 10 + (c - '0');
  }
  return number;
}

// --- The temporary file and an interruption -------------------------------

// The temporary file of the run, for a signal handler to remove. The name
// is written before the file is made, and the signals that remove it are
// held back from just before the file is made until it is recorded as made,
// so that a handler never removes a file that is not the run's own.
volatile std::sig_atomic_t PendingFolder = -1;
volatile std::sig_atomic_t PendingMade = 0;
char PendingName[32];

constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Holds back the interrupting signals while it exists.
class InterruptionsHeld {
 public:
  InterruptionsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : kInterruptions) sigaddset(&held, signal);
    ::sigprocmask(SIG_BLOCK, &held, &before_);
  }
  InterruptionsHeld(const InterruptionsHeld&) = delete;
  InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;
  ~InterruptionsHeld() { ::sigprocmask(SIG_SETMASK, &before_, nullptr); }

 private:
  sigset_t before_;
};

void forgetPending() {
  PendingMade = 0;
  PendingFolder = -1;
}

void onInterruption(int number) {
  removeTemporaryOnInterrupt();
  // End as the signal would have ended the process without this handler,
  // so that the shell sees 128 + its number.
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigemptyset(&plain.sa_mask);
  ::sigaction(number, &plain, nullptr);
  sigset_t self;
  sigemptyset(&self);
  sigaddset(&self, number);
  ::sigprocmask(SIG_UNBLOCK, &self, nullptr);
  ::raise(number);
  ::_exit(128 + number);
}

// Six letters or digits no other run is likely to choose at the same time:
// the clock, the process and the attempt, mixed. Making the file only where
// no file has the name keeps it the run's own whatever the letters.
void randomLetters(char* out, std::size_t count, int attempt) {
  static const char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::uint64_t mix = static_cast<std::uint64_t>(now.tv_nsec) ^
                      (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
                      (static_cast<std::uint64_t>(::getpid()) << 20) ^ static_cast<std::uint64_t>(attempt);
  for (std::size_t i = 0; i < count; ++i) {
    mix = mix * 6364136223846793005u + 1442695040888963407u;
    out[i] = kLetters[(mix >> 33) % (sizeof kLetters - 1)];
  }
}

// The path of `name` in the held folder `folder`, as far as the system can
// tell where that folder is; only ever shown, the files are reached through
// the folder's descriptor and the name alone (see leafOf).
std::string pathIn(int folder, const std::string& name) {
  char link[32];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", folder);
  std::string path(4096, '\0');
  ssize_t n = ::readlink(link, path.data(), path.size());
  if (n <= 0 || path[0] != '/' || static_cast<std::size_t>(n) == path.size()) return name;
  path.resize(static_cast<std::size_t>(n));
  if (path.back() != '/') path += '/';
  return path + name;
}

// The name in the held folder of a path made by pathIn.
const char* leafOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

// Errors that mean the disk has no room: the BibTeX file could not be
// written in place either, so they end the run with the old file kept.
bool isDiskFull(int error) { return error == ENOSPC || error == EDQUOT; }

// Returned by the steps below where the file is to be written in place.
constexpr int kWriteInPlace = -1;

// The names of the extended attributes of `file`, each ending in '\0'.
int attributeNames(int file, std::string& names) {
  for (;;) {
    ssize_t size = ::flistxattr(file, nullptr, 0);
    if (size < 0) {
      // A file system without extended attributes: the file has none.
      if (errno == ENOTSUP) {
        names.clear();
        return 0;
      }
      return lastError();
    }
    names.assign(static_cast<std::size_t>(size), '\0');
    if (size == 0) return 0;
    ssize_t got = ::flistxattr(file, names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<std::size_t>(got));
      return 0;
    }
    if (errno != ERANGE) return lastError();  // ERANGE: one was added meanwhile
  }
}

bool listHas(const std::string& names, const char* name) {
  for (std::size_t at = 0; at < names.size(); at += std::strlen(names.data() + at) + 1) {
    if (std::strcmp(names.data() + at, name) == 0) return true;
  }
  return false;
}

// Gives `file` every extended attribute of `old` (the access-control list
// among them) and no other. 0 or the error of the step that failed.
int copyAttributes(int old, int file) {
  std::string names;
  if (int error = attributeNames(old, names); error != 0) return error;
  std::string value;
  for (std::size_t at = 0; at < names.size(); at += std::strlen(names.data() + at) + 1) {
    const char* name = names.data() + at;
    for (;;) {
      ssize_t size = ::fgetxattr(old, name, nullptr, 0);
      if (size < 0) return lastError();
      value.assign(static_cast<std::size_t>(size), '\0');
      ssize_t got = ::fgetxattr(old, name, value.data(), value.size());
      if (got >= 0) {
        value.resize(static_cast<std::size_t>(got));
        break;
      }
      if (errno != ERANGE) return lastError();
    }
    if (::fsetxattr(file, name, value.data(), value.size(), 0) != 0) return lastError();
  }
  // What the new file got from its folder (a default access-control list)
  // and the old file did not have.
  std::string given;
  if (int error = attributeNames(file, given); error != 0) return error;
  for (std::size_t at = 0; at < given.size(); at += std::strlen(given.data() + at) + 1) {
    const char* name = given.data() + at;
    if (!listHas(names, name) && ::fremovexattr(file, name) != 0) return lastError();
  }
  return 0;
}

// Gives the new file `file` the owner, group, extended attributes and
// permission bits of `old`, in that order: a change of owner clears the
// set-user-ID bits, and an access-control list sets the group bits, which
// the permission bits then set as they were. kWriteInPlace where one of
// them cannot be given, the error where the disk is full, otherwise 0.
int takeOver(int old, const struct stat& was, int file) {
  struct stat now;
  if (::fstat(file, &now) != 0) return lastError();
  bool given = (now.st_uid == was.st_uid && now.st_gid == was.st_gid) ||
               ::fchown(file, was.st_uid, was.st_gid) == 0;
  int error = given ? copyAttributes(old, file) : lastError();
  if (error == 0 && ::fchmod(file, was.st_mode & 07777) != 0) error = lastError();
  // A bit the system dropped silently (set-group-ID of a group the user is
  // not in) is a right lost as well.
  if (error == 0 && (::fstat(file, &now) != 0 || now.st_uid != was.st_uid ||
                     now.st_gid != was.st_gid ||
                     (now.st_mode & 07777) != (was.st_mode & 07777))) {
    error = EPERM;
  }
  if (error == 0) return 0;
  return isDiskFull(error) ? error : kWriteInPlace;
}

// Makes the temporary file in `folder`: a short hidden name of its own, so
// that a name near the length limit still leaves room, and made only where
// no file has that name. It replaces the file `old` (with `was` its status),
// or, without one, a name not taken yet. 0, kWriteInPlace or the error.
int makeTemporary(int folder, int old, const struct stat& was, int& file,
                  Replacement& replacement) {
  char name[] = ".kartconv-XXXXXX";
  constexpr std::size_t kLetters = 6;
  // A new name gets what any new file gets there: 0666 less the umask, or
  // the folder's default access-control list. A replacing file starts
  // readable by the user alone and gets the old file's bits later.
  mode_t mode = old >= 0 ? 0600 : 0666;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    randomLetters(name + sizeof name - 1 - kLetters, kLetters, attempt);
    InterruptionsHeld held;
    std::memcpy(PendingName, name, sizeof name);
    PendingFolder = folder;
    fd = ::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0) {
      PendingMade = 1;
    } else {
      int error = errno;
      forgetPending();
      errno = error;
      if (error != EEXIST) break;
    }
  }
  if (fd < 0) {
    int error = lastError();
    // The folder takes no new file, but the old one may still be written.
    if (error == EACCES || error == EPERM || error == EROFS) return kWriteInPlace;
    return error;
  }
  int error = old >= 0 ? takeOver(old, was, fd) : 0;
  if (error != 0) {
    ::close(fd);
    InterruptionsHeld held;
    ::unlinkat(folder, name, 0);
    forgetPending();
    return error;
  }
  file = fd;
  replacement.temporaryName = pathIn(folder, name);
  return 0;
}

}  // namespace

void prepareProcess() {
  std::signal(SIGPIPE, SIG_IGN);
  // A file-size limit (ulimit -f) makes a write fail with EFBIG, as a full
  // disk does, instead of ending the process.
  std::signal(SIGXFSZ, SIG_IGN);
  for (int signal : kInterruptions) {
    struct sigaction before {};
    // A signal ignored from the start (nohup, a background job) stays so.
    if (::sigaction(signal, nullptr, &before) != 0 || before.sa_handler == SIG_IGN) continue;
    struct sigaction handler {};
    handler.sa_handler = onInterruption;
    sigemptyset(&handler.sa_mask);
    for (int other : kInterruptions) sigaddset(&handler.sa_mask, other);
    ::sigaction(signal, &handler, nullptr);
  }
}

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
  errno = 0;

  if (int given = namedDescriptor(name); given >= 0) {
    int flags = ::fcntl(given, F_GETFL);
    if (flags < 0) return lastError();
    if ((flags & O_PATH) != 0 || (flags & O_ACCMODE) == O_RDONLY) return EBADF;
    struct stat st, out;
    replacement.sharesStandardOutput =
        given == STDOUT_FILENO ||
        (::fstat(given, &st) == 0 && ::fstat(STDOUT_FILENO, &out) == 0 &&
         st.st_dev == out.st_dev && st.st_ino == out.st_ino);
    replacement.inherited = true;
    file = given;
    return 0;
  }

  Place place;
  if (int error = findPlace(name, place); error != 0) return error;
  int folder = place.folder.get();
  const char* entry = place.name.c_str();

  // A regular file of its own, or a name not taken yet, is replaced.
  int error = kWriteInPlace;
  if (!place.exists) {
    error = makeTemporary(folder, -1, place.st, file, replacement);
  } else if (S_ISREG(place.st.st_mode) && place.st.st_nlink == 1) {
    // Opened to write, so that a file the user may not write fails as it
    // always did (below), and to read its attributes without following a
    // link; O_NONBLOCK in case a pipe took its place meanwhile.
    OwnedFile old(::openat(folder, entry,
                           O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat was;
    if (old.valid() && ::fstat(old.get(), &was) == 0 && S_ISREG(was.st_mode) &&
        was.st_nlink == 1) {
      error = makeTemporary(folder, old.get(), was, file, replacement);
    }
  }
  if (error == 0) {
    replacement.targetName = pathIn(folder, place.name);
    replacement.folder = place.folder.release();
    return 0;
  }
  if (error != kWriteInPlace) return error;

  // In place: the file itself, emptied. A link in /proc leads to an open
  // file that only the kernel can follow to.
  int flags = O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC;
  if (!place.kernelLink) flags |= O_NOFOLLOW;
  errno = 0;
  file = ::openat(folder, entry, flags, 0666);
  return file < 0 ? lastError() : 0;
}

int syncFile(File file) {
  errno = 0;
  return ::fsync(file) != 0 ? lastError() : 0;
}

int commitReplacement(Replacement& replacement) {
  {
    InterruptionsHeld held;
    errno = 0;
    if (::renameat(replacement.folder, leafOf(replacement.temporaryName), replacement.folder,
                   leafOf(replacement.targetName)) != 0) {
      return lastError();  // abandonReplacement removes the temporary file
    }
    forgetPending();
  }
  // The rename itself reaches the disk with the folder. The new file is
  // whole and in its place either way; a folder that cannot be read or
  // flushed is no failure of the run.
  int holder = ::openat(replacement.folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (holder >= 0) {
    ::fsync(holder);
    ::close(holder);
  }
  ::close(replacement.folder);
  replacement.folder = -1;
  return 0;
}

void abandonReplacement(Replacement& replacement) {
  if (replacement.folder < 0) return;
  {
    InterruptionsHeld held;
    ::unlinkat(replacement.folder, leafOf(replacement.temporaryName), 0);
    forgetPending();
  }
  ::close(replacement.folder);
  replacement.folder = -1;
}

void removeTemporaryOnInterrupt() {
  int errorBefore = errno;
  if (PendingMade != 0 && PendingFolder >= 0) ::unlinkat(PendingFolder, PendingName, 0);
  forgetPending();
  errno = errorBefore;
}

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

// The export's size and time of change, to notice an export that is written
// while it is read.
int fileStamp(File file, FileStamp& stamp) {
  struct stat st;
  errno = 0;
  if (::fstat(file, &st) != 0) return lastError();
  stamp.size = static_cast<unsigned long long>(st.st_size);
  stamp.modified = st.st_mtim.tv_sec;
  stamp.modifiedFraction = st.st_mtim.tv_nsec;
  return 0;
}

int rewindFile(File file) {
  errno = 0;
  return ::lseek(file, 0, SEEK_SET) < 0 ? lastError() : 0;
}

std::string consoleName(std::string_view name) { return std::string(name); }

bool consoleShowsUtf8(File console) {
  if (!::isatty(console)) return false;
  // The terminal's character set as the user's settings name it; the
  // locale need not be installed, and the program's own stays "C".
  const char* locale = nullptr;
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    locale = std::getenv(variable);
    if (locale != nullptr && locale[0] != '\0') break;
    locale = nullptr;
  }
  if (locale == nullptr) return false;
  std::string lower(locale);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower.find("utf-8") != std::string::npos || lower.find("utf8") != std::string::npos;
}

File standardOutput() { return STDOUT_FILENO; }
File standardError() { return STDERR_FILENO; }

void exitProcess(int code) { ::_exit(code); }

}  // namespace platform
