// Windows side of the platform layer. The rest of the program works on byte
// strings: the words of the command line are handed up in UTF-8 and turned
// back into UTF-16 names here, so every file opens exactly as the user named
// it, also with characters that the ANSI code page lacks. Errors are the
// Windows error codes of the failed call (GetLastError).
#include "platform/platform.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <iterator>

#include "platform/command_line.h"

namespace platform {
namespace {

// A failure that left no error code must still never look like success.
int lastError(DWORD fallback = ERROR_GEN_FAILURE) {
  DWORD error = GetLastError();
  return static_cast<int>(error != 0 ? error : fallback);
}

std::string toCodePage(std::wstring_view text, UINT codePage) {
  if (text.empty()) return {};
  int length = static_cast<int>(text.size());
  int size = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string result(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), length, result.data(), size, nullptr, nullptr);
  return result;
}

std::wstring fromUtf8(std::string_view text) {
  if (text.empty()) return {};
  int length = static_cast<int>(text.size());
  int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return {};
  std::wstring result(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, result.data(), size);
  return result;
}

// Opens `name` for reading, sharing it as a program that only reads does.
HANDLE openShared(const std::string& name, DWORD access, DWORD flags) {
  std::wstring wide = fromUtf8(name);
  return CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, flags, nullptr);
}

bool identityOf(const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
  // No access rights are needed to ask who a file is; the backup flag lets
  // folders open too.
  HANDLE file = openShared(name, 0, FILE_FLAG_BACKUP_SEMANTICS);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  return ok;
}

// True when the temporary file could replace `target`: a file on disk with
// no other name, that the user may write and that is neither hidden nor a
// system file nor a link (these are written in place, as before), or a name
// not taken yet.
bool isReplaceable(const std::wstring& target) {
  HANDLE probe = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    // Nothing of that name, not even a link that leads nowhere.
    return GetLastError() == ERROR_FILE_NOT_FOUND &&
           GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES;
  }
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileType(probe) == FILE_TYPE_DISK && GetFileInformationByHandle(probe, &info) &&
            info.nNumberOfLinks == 1;
  CloseHandle(probe);
  DWORD own = GetFileAttributesW(target.c_str());
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                          FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
  return ok && own != INVALID_FILE_ATTRIBUTES && (own & kKept) == 0;
}

// The folder part of a file name ("C:\Daten\" of "C:\Daten\a.bib"),
// "." for a name without one.
std::wstring folderOf(const std::wstring& name) {
  std::size_t end = name.find_last_of(L"\\/:");
  return end == std::wstring::npos ? std::wstring(L".") : name.substr(0, end + 1);
}

// `name` with its folder spelt out from the drive on. Wine's ReplaceFileW
// fails with error 267 on a name relative to the current folder.
std::wstring fullName(const std::wstring& name) {
  DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (size == 0) return name;
  std::wstring full(size, L'\0');
  DWORD length = GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return name;
  full.resize(length);
  return full;
}

// The temporary file of the run, for the console control handler, which
// Windows calls on a thread of its own: the name is written before the flag
// is raised and the flag is lowered before the name changes, so the handler
// never reads a name half written. A name may be as long as a long path.
wchar_t PendingTemporary[32768];
std::atomic<bool> TemporaryPending{false};

void rememberTemporary(const std::wstring& name) {
  if (name.size() >= std::size(PendingTemporary)) return;
  std::copy(name.begin(), name.end(), PendingTemporary);
  PendingTemporary[name.size()] = L'\0';
  TemporaryPending.store(true);
}

void forgetTemporary() { TemporaryPending.store(false); }

// Disk space or the user's quota ran out: writing the file in place would
// run out as well, after destroying the earlier file.
bool isOutOfSpace(DWORD error) {
  constexpr DWORD kDiskQuotaExceeded = 1295;  // ERROR_DISK_QUOTA_EXCEEDED, missing in MinGW
  return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ||
         error == ERROR_NOT_ENOUGH_QUOTA || error == kDiskQuotaExceeded;
}

// Eight letters or digits that differ from run to run and from try to try:
// the clock, the process and the try, well stirred. Only their uniqueness
// matters, and CREATE_NEW checks that.
std::wstring randomLetters(unsigned attempt) {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  unsigned long long x = static_cast<unsigned long long>(now.QuadPart) ^
                         (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^
                         (static_cast<unsigned long long>(attempt + 1) * 0x9E3779B97F4A7C15ull);
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  x ^= x >> 31;
  constexpr wchar_t kLetters[] = L"0123456789abcdefghijklmnopqrstuv";
  std::wstring letters;
  for (int i = 0; i < 8; ++i, x >>= 5) letters += kLetters[x & 31];
  return letters;
}

// Ctrl+C, Ctrl+Break and closing the console window: the temporary file goes,
// the earlier BibTeX file stays, and the process ends with the code Windows
// gives a program stopped that way. Windows runs this on a thread of its
// own, whose stack a 32-bit program cannot assume aligned for SSE code.
__attribute__((force_align_arg_pointer)) BOOL WINAPI onConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;  // the next handler, finally Windows' own, decides
  }
  removeTemporaryOnInterrupt();
  ExitProcess(STATUS_CONTROL_C_EXIT);
}

}  // namespace

void prepareProcess() {
  // A drive without its disk must fail like any other missing file, with an
  // error code, instead of stopping the run at a dialog box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

std::vector<std::string> commandWords(int, char**) {
  // The C runtime's argv follows other quoting rules (a backslash before a
  // quote escapes it) and the ANSI code page; read the command line itself.
  std::vector<std::wstring> wide = splitCommandLine(GetCommandLineW());
  std::vector<std::string> words;
  for (std::size_t i = 1; i < wide.size(); ++i) words.push_back(toCodePage(wide[i], CP_UTF8));
  return words;
}

bool isReadableFile(const std::string& name) {
  if (name.empty()) return false;
  HANDLE file = openShared(name, GENERIC_READ, FILE_ATTRIBUTE_NORMAL);
  if (file == INVALID_HANDLE_VALUE) return false;
  // Only a file on disk can be a folder; devices and pipes are read as they are.
  bool ok = true;
  if (GetFileType(file) == FILE_TYPE_DISK) {
    BY_HANDLE_FILE_INFORMATION info;
    ok = GetFileInformationByHandle(file, &info) != 0 &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }
  if (!CloseHandle(file)) ok = false;
  return ok;
}

bool isSameFile(const std::string& input, const std::string& output) {
  BY_HANDLE_FILE_INFORMATION in, out;
  if (!identityOf(input, in) || !identityOf(output, out)) return false;
  return in.dwVolumeSerialNumber == out.dwVolumeSerialNumber &&
         in.nFileIndexHigh == out.nFileIndexHigh && in.nFileIndexLow == out.nFileIndexLow;
}

int openForReading(const std::string& name, File& file) {
  SetLastError(0);
  file = openShared(name, GENERIC_READ, FILE_ATTRIBUTE_NORMAL);
  return file == INVALID_HANDLE_VALUE ? lastError() : 0;
}

int createForWriting(const std::string& name, File& file) {
  std::wstring wide = fromUtf8(name);
  SetLastError(0);
  file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? lastError() : 0;
}

int createReplacement(const std::string& name, File& file, Replacement& replacement) {
  replacement = Replacement{};
  std::wstring target = fromUtf8(name);
  if (!isReplaceable(target)) return createForWriting(name, file);
  // A short name of its own (".kcv0a1b2c3d.tmp") still fits where the
  // BibTeX file's name is long. The leading dot hides it from listings that
  // skip dot files; it gets no hidden attribute, which a new BibTeX file
  // would keep after the move. FILE_SHARE_DELETE lets the console control
  // handler remove it while the run still writes it.
  std::wstring folder = folderOf(target);
  if (folder == L".") folder.clear();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring temporary = folder + L".kcv" + randomLetters(static_cast<unsigned>(attempt)) + L".tmp";
    SetLastError(0);
    file = CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                       nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      rememberTemporary(temporary);
      replacement.temporaryName = toCodePage(temporary, CP_UTF8);
      replacement.targetName = name;
      return 0;
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
    if (isOutOfSpace(error)) return static_cast<int>(error);
    break;  // the folder takes no new file: write the file itself
  }
  return createForWriting(name, file);
}

int syncFile(File file) {
  SetLastError(0);
  return FlushFileBuffers(file) ? 0 : lastError();
}

void abandonReplacement(Replacement& replacement) {
  if (replacement.temporaryName.empty()) return;
  DeleteFileW(fromUtf8(replacement.temporaryName).c_str());
  forgetTemporary();
}

void removeTemporaryOnInterrupt() {
  if (TemporaryPending.exchange(false)) DeleteFileW(PendingTemporary);
}

int commitReplacement(Replacement& replacement) {
  std::wstring from = fromUtf8(replacement.temporaryName);
  std::wstring to = fromUtf8(replacement.targetName);
  int error = 0;
  SetLastError(0);
  if (GetFileAttributesW(to.c_str()) == INVALID_FILE_ATTRIBUTES &&
      GetLastError() == ERROR_FILE_NOT_FOUND) {
    // A new name: the file is moved there and the move written to disk
    // before the call returns.
    SetLastError(0);
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      error = lastError();
    }
  } else {
    // ReplaceFileW gives the new file the earlier file's creation time,
    // attributes and access-control list, so that nobody gains or loses
    // rights to the BibTeX file.
    SetLastError(0);
    if (!ReplaceFileW(fullName(to).c_str(), fullName(from).c_str(), nullptr, 0, nullptr,
                      nullptr)) {
      error = lastError();
      // The earlier file may be gone already, with the new one still under
      // the temporary name: then it is moved into the free name. Should that
      // fail too, the temporary file is the only copy of the BibTeX file and
      // stays where it is.
      if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT &&
          GetFileAttributesW(to.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
          error = 0;
        } else {
          replacement.temporaryName.clear();
        }
      }
    }
  }
  // On success nothing is left for an interruption to remove; on failure
  // the caller removes the temporary file, or it is kept (see above).
  if (error == 0 || replacement.temporaryName.empty()) forgetTemporary();
  return error;
}

int readSome(File file, char* buffer, std::size_t capacity, std::size_t& got) {
  DWORD size = capacity > ULONG_MAX ? ULONG_MAX : static_cast<DWORD>(capacity);
  DWORD n = 0;
  SetLastError(0);
  if (!ReadFile(file, buffer, size, &n, nullptr)) {
    // A pipe whose writer has finished is at its end, not broken.
    if (GetLastError() != ERROR_BROKEN_PIPE) return lastError(ERROR_READ_FAULT);
    n = 0;
  }
  got = n;
  return 0;
}

int writeAll(File file, const char* data, std::size_t size) {
  // WriteFile passes the bytes on as they are: code page 437 text and CR LF
  // reach the console or the file unchanged.
  while (size > 0) {
    DWORD chunk = size > ULONG_MAX ? ULONG_MAX : static_cast<DWORD>(size);
    DWORD n = 0;
    SetLastError(0);
    if (!WriteFile(file, data, chunk, &n, nullptr)) return lastError(ERROR_WRITE_FAULT);
    if (n == 0) return ERROR_WRITE_FAULT;
    data += n;
    size -= n;
  }
  return 0;
}

int closeFile(File file) {
  SetLastError(0);
  return CloseHandle(file) ? 0 : lastError();
}

bool canReadAgain(File file) { return GetFileType(file) == FILE_TYPE_DISK; }

int fileStamp(File file, FileStamp& stamp) {
  BY_HANDLE_FILE_INFORMATION info;
  SetLastError(0);
  if (!GetFileInformationByHandle(file, &info)) return lastError();
  stamp.size = (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp.modified = (static_cast<long long>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                   info.ftLastWriteTime.dwLowDateTime;
  stamp.modifiedFraction = 0;
  return 0;
}

int rewindFile(File file) {
  LARGE_INTEGER start{};
  SetLastError(0);
  return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) ? 0 : lastError(ERROR_SEEK);
}

bool consoleShowsUtf8(File) { return false; }

File standardOutput() { return GetStdHandle(STD_OUTPUT_HANDLE); }
File standardError() { return GetStdHandle(STD_ERROR_HANDLE); }

std::string consoleName(std::string_view name) {
  // The console shows bytes in its own code page (the OEM code page when the
  // output goes to a file or pipe); a character it lacks shows as "?".
  UINT codePage = GetConsoleOutputCP();
  if (codePage == 0) codePage = GetOEMCP();
  if (codePage == CP_UTF8) return std::string(name);
  return toCodePage(fromUtf8(name), codePage);
}

int outOfMemoryError() { return ERROR_NOT_ENOUGH_MEMORY; }

void exitProcess(int code) { ExitProcess(static_cast<UINT>(code)); }

}  // namespace platform
