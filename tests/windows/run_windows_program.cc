#include "run_windows_program.h"

#include <windows.h>

#include <stdexcept>

namespace {

struct Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE && h != nullptr) CloseHandle(h);
  }
};

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string(what) + " failed: " + std::to_string(GetLastError()));
}

// A scratch file the child writes through an inherited handle; it goes away
// when the last handle closes.
void createCapture(Handle& file) {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  check(GetTempPathW(MAX_PATH + 1, folder) != 0, "GetTempPathW");
  check(GetTempFileNameW(folder, L"kcv", 0, name) != 0, "GetTempFileNameW");
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  file.h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  check(file.h != INVALID_HANDLE_VALUE, "CreateFileW");
}

std::string readCapture(HANDLE file) {
  check(SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER, "SetFilePointer");
  std::string bytes;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
  return bytes;
}

}  // namespace

std::wstring kartconvPath() {
  wchar_t self[MAX_PATH + 1];
  DWORD size = GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
  check(size != 0 && size <= MAX_PATH, "GetModuleFileNameW");
  std::wstring path(self, size);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"kartconv.exe";
}

WindowsRun runWindowsProgram(const std::wstring& program, const std::wstring& arguments,
                             const std::wstring& folder, ConsoleTarget console) {
  Handle out, err, pipeRead, pipeWrite;
  createCapture(err);
  if (console == ConsoleTarget::Capture) {
    createCapture(out);
  } else {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    check(CreatePipe(&pipeRead.h, &pipeWrite.h, &inherit, 0) != 0, "CreatePipe");
    check(SetHandleInformation(pipeRead.h, HANDLE_FLAG_INHERIT, 0) != 0, "SetHandleInformation");
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = console == ConsoleTarget::Capture ? out.h : pipeWrite.h;
  startup.hStdError = err.h;

  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  PROCESS_INFORMATION process{};
  // Suspended, so that a closed console is closed before the first write.
  check(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_SUSPENDED | DETACHED_PROCESS, nullptr, folder.c_str(), &startup,
                       &process) != 0,
        "CreateProcessW");
  Handle processHandle{process.hProcess}, threadHandle{process.hThread};
  if (console == ConsoleTarget::ClosedPipe) {
    CloseHandle(pipeRead.h);
    pipeRead.h = INVALID_HANDLE_VALUE;
    CloseHandle(pipeWrite.h);
    pipeWrite.h = INVALID_HANDLE_VALUE;
  }
  ResumeThread(process.hThread);
  check(WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0, "WaitForSingleObject");

  WindowsRun run;
  check(GetExitCodeProcess(process.hProcess, &run.exitCode) != 0, "GetExitCodeProcess");
  if (console == ConsoleTarget::Capture) run.out = readCapture(out.h);
  run.err = readCapture(err.h);
  return run;
}
