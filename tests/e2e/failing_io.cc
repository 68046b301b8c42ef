// A test double for the C library's read, write, close and rename, preloaded
// (LD_PRELOAD) into the built program by the fault tests. It makes one call
// fail on demand, so that the program's own code, its platform layer
// included, meets errors that real disks give rarely and at no chosen moment:
// a close that reports a late write error, a write or a read that fails in
// the middle of a file, a rename that fails. The program itself is not
// changed for it.
//
// KARTCONV_FAULT="<call> <n> <error> <path>": the n-th call of <call> (read,
// write or close) on a file whose name starts with <path> fails with errno
// <error>; the failing close still closes the file. For "rename" (rename,
// renameat and renameat2 alike) the new name is the one that must start
// with <path>, and nothing is renamed. Every other call goes through
// unchanged.
//
// KARTCONV_FAULT="lseek <n> 0 <path>" with KARTCONV_REWRITE="<how> <file>"
// changes the export while the program reads it: at the n-th seek on it
// (the program goes back to its start to read it a second time) the bytes
// of <file> are written over it ("over"), or saved under its name as an
// editor does, as a new file that takes the old one's place ("save").
//
// KARTCONV_FAULT="new <n> 12 <bytes>": the n-th allocation (operator new) of
// at least <bytes> bytes throws std::bad_alloc, as a system out of memory
// makes it do, without a memory limit that a sanitizer build would trip.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace {

struct Fault {
  std::string call;
  int n = 0;
  int error = 0;
  std::string path;
  int seen = 0;
};

Fault& fault() {
  static Fault f = [] {
    Fault parsed;
    const char* request = std::getenv("KARTCONV_FAULT");
    char call[8] = "", path[4096] = "";
    if (request != nullptr &&
        std::sscanf(request, "%7s %d %d %4095s", call, &parsed.n, &parsed.error, path) == 4) {
      parsed.call = call;
      parsed.path = path;
    }
    return parsed;
  }();
  return f;
}

// The name of the file or folder open as `fd`; empty when it has none.
std::string nameOf(int fd) {
  char link[32], name[4096];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t size = readlink(link, name, sizeof name);
  return size < 0 ? std::string() : std::string(name, static_cast<std::size_t>(size));
}

bool failsNowOn(const char* call, const std::string& name) {
  Fault& f = fault();
  if (f.call != call || name.empty() || name.rfind(f.path, 0) != 0) return false;
  return ++f.seen == f.n;
}

bool failsNow(const char* call, int fd) {
  if (fault().call != call) return false;
  return failsNowOn(call, nameOf(fd));
}

// The whole name of `name` taken in the folder `folder` (AT_FDCWD: the
// working folder).
std::string nameAt(int folder, const char* name) {
  if (name[0] == '/') return name;
  std::string base;
  if (folder != AT_FDCWD) {
    base = nameOf(folder);
  } else if (char here[4096]; getcwd(here, sizeof here) != nullptr) {
    base = here;
  }
  return base.empty() ? std::string() : base + "/" + name;
}

template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t size) {
  static auto real = next<ssize_t (*)(int, void*, size_t)>("read");
  if (!failsNow("read", fd)) return real(fd, buffer, size);
  errno = fault().error;
  return -1;
}

extern "C" ssize_t write(int fd, const void* data, size_t size) {
  static auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
  if (!failsNow("write", fd)) return real(fd, data, size);
  errno = fault().error;
  return -1;
}

extern "C" int close(int fd) {
  static auto real = next<int (*)(int)>("close");
  bool fails = failsNow("close", fd);
  int result = real(fd);
  if (!fails) return result;
  errno = fault().error;
  return -1;
}

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to,
                         unsigned flags) noexcept {
  static auto real = next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
  if (fault().call == "rename" && failsNowOn("rename", nameAt(toFolder, to))) {
    errno = fault().error;
    return -1;
  }
  return real(fromFolder, from, toFolder, to, flags);
}

extern "C" int renameat(int fromFolder, const char* from, int toFolder,
                        const char* to) noexcept {
  return renameat2(fromFolder, from, toFolder, to, 0);
}

extern "C" int rename(const char* from, const char* to) noexcept {
  return renameat2(AT_FDCWD, from, AT_FDCWD, to, 0);
}

namespace {

// Writes the file named in KARTCONV_REWRITE over the export or in its place.
void rewriteExport() {
  char how[8] = "", source[4096] = "";
  const char* request = std::getenv("KARTCONV_REWRITE");
  if (request == nullptr || std::sscanf(request, "%7s %4095s", how, source) != 2) return;
  std::FILE* in = std::fopen(source, "rb");
  if (in == nullptr) return;
  std::string bytes;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;) bytes.append(chunk, n);
  std::fclose(in);
  const std::string& path = fault().path;
  std::string target = std::string(how) == "save" ? path + ".saved" : path;
  std::FILE* out = std::fopen(target.c_str(), "wb");
  if (out == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
  if (target != path) std::rename(target.c_str(), path.c_str());
}

}  // namespace

extern "C" off_t lseek(int fd, off_t offset, int whence) {
  static auto real = next<off_t (*)(int, off_t, int)>("lseek");
  if (failsNow("lseek", fd)) rewriteExport();
  return real(fd, offset, whence);
}

namespace {

// Read without allocating: operator new is what asks.
struct AllocationFault {
  long n = 0;
  unsigned long minimum = 0;
  long seen = 0;
};

AllocationFault& allocationFault() {
  static AllocationFault f = [] {
    AllocationFault parsed;
    const char* request = std::getenv("KARTCONV_FAULT");
    int error = 0;
    if (request == nullptr ||
        std::sscanf(request, "new %ld %d %lu", &parsed.n, &error, &parsed.minimum) != 3) {
      parsed.n = 0;
    }
    return parsed;
  }();
  return f;
}

void* allocate(std::size_t size) {
  AllocationFault& f = allocationFault();
  if (f.n > 0 && size >= f.minimum && ++f.seen == f.n) throw std::bad_alloc();
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
