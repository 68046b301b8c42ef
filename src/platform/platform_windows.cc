// Windows side of the platform layer. The rest of the program works on byte
// strings: the words of the command line are handed up in UTF-8 and turned
// back into UTF-16 names here, so every file opens exactly as the user named
// it, also with characters that the ANSI code page lacks. Errors are the
// Windows error codes of the failed call (GetLastError).
#include "platform/platform.h"

#include <windows.h>

#include <climits>

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

}  // namespace

void prepareProcess() {
  // A drive without its disk must fail like any other missing file, with an
  // error code, instead of stopping the run at a dialog box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
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
  // GetTempFileNameW creates a new empty file of a unique name ("kcv1A2.tmp").
  wchar_t temporary[MAX_PATH];
  if (GetTempFileNameW(folderOf(target).c_str(), L"kcv", 0, temporary) == 0) {
    return createForWriting(name, file);
  }
  file = CreateFileW(temporary, GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DeleteFileW(temporary);
    return createForWriting(name, file);
  }
  replacement.temporaryName = toCodePage(temporary, CP_UTF8);
  replacement.targetName = name;
  return 0;
}

int syncFile(File file) {
  SetLastError(0);
  return FlushFileBuffers(file) ? 0 : lastError();
}

void abandonReplacement(Replacement& replacement) {
  DeleteFileW(fromUtf8(replacement.temporaryName).c_str());
}

void removeTemporaryOnInterrupt() {}

int commitReplacement(Replacement& replacement) {
  std::wstring from = fromUtf8(replacement.temporaryName);
  std::wstring to = fromUtf8(replacement.targetName);
  SetLastError(0);
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : lastError();
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
