// Test support for Windows test programs run under Wine.
#include "testsupport/winhost.h"

#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <thread>

namespace varnak::test {

#ifndef DBG_PRINTEXCEPTION_WIDE_C
#define DBG_PRINTEXCEPTION_WIDE_C 0x4001000AL
#endif

namespace {
DebugCapture* g_capture = nullptr;  // the one active capture

std::string WideToAnsi(const wchar_t* text, size_t len) {
  int n = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(len), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(len), &out[0], n, nullptr, nullptr);
  return out;
}
}  // namespace

DebugCapture::DebugCapture() {
  g_capture = this;
  handle_ = AddVectoredExceptionHandler(1, &DebugCapture::Handler);
}

DebugCapture::~DebugCapture() {
  if (handle_) RemoveVectoredExceptionHandler(handle_);
  g_capture = nullptr;
}

LONG CALLBACK DebugCapture::Handler(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* rec = info->ExceptionRecord;
  if (!g_capture || rec->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
  // parameters: [0] length including the terminator, [1] the text
  if (rec->ExceptionCode == static_cast<DWORD>(DBG_PRINTEXCEPTION_C)) {
    const char* text = reinterpret_cast<const char*>(rec->ExceptionInformation[1]);
    size_t len = rec->ExceptionInformation[0];
    if (text) g_capture->Add(std::string(text, len ? strnlen(text, len) : 0));
  } else if (rec->ExceptionCode == static_cast<DWORD>(DBG_PRINTEXCEPTION_WIDE_C)) {
    const wchar_t* text = reinterpret_cast<const wchar_t*>(rec->ExceptionInformation[1]);
    size_t len = rec->ExceptionInformation[0];
    if (text) g_capture->Add(WideToAnsi(text, len ? wcsnlen(text, len) : 0));
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

void DebugCapture::Add(std::string line) {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.push_back(std::move(line));
}

std::vector<std::string> DebugCapture::Lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

bool DebugCapture::Contains(const std::string& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::any_of(lines_.begin(), lines_.end(),
                     [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

void DebugCapture::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
}

std::string BinDir() {
  char path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path, n);
  size_t slash = s.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : s.substr(0, slash);
}

TempFolder::TempFolder() {
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  static LONG counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%svarnak-%lu-%ld", base, GetCurrentProcessId(),
             InterlockedIncrement(&counter));
    if (CreateDirectoryA(name, nullptr)) {
      path_ = name;
      return;
    }
  }
}

TempFolder::~TempFolder() {
  if (path_.empty()) return;
  // SHFileOperation wants a double-terminated list
  std::string from = path_ + std::string(2, '\0');
  SHFILEOPSTRUCTA op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationA(&op);
}

std::string TempFolder::Copy(const std::string& source, const std::string& new_name) const {
  std::string from = source;
  if (source.find_first_of("\\/:") == std::string::npos) from = BinDir() + "\\" + source;
  std::string name = new_name;
  if (name.empty()) {
    size_t slash = from.find_last_of("\\/");
    name = slash == std::string::npos ? from : from.substr(slash + 1);
  }
  std::string to = File(name);
  return CopyFileA(from.c_str(), to.c_str(), FALSE) ? to : std::string();
}

bool TempFolder::Write(const std::string& name, const std::string& bytes) const {
  HANDLE f = CreateFileA(File(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
  return ok && written == bytes.size();
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) bytes->append(buf, got);
  CloseHandle(f);
  return true;
}

int RunProcess(const std::string& command_line, DWORD timeout_ms, const std::string& work_dir) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = command_line;  // CreateProcessA may write to it
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                      work_dir.empty() ? nullptr : work_dir.c_str(), &si, &pi))
    return -1;
  CloseHandle(pi.hThread);
  int result = -2;
  if (WaitForSingleObject(pi.hProcess, timeout_ms) == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    result = static_cast<int>(code);
  } else {
    TerminateProcess(pi.hProcess, 1);
  }
  CloseHandle(pi.hProcess);
  return result;
}

std::future<std::wstring> ClickMessageBox(const std::wstring& title, int button, DWORD timeout_ms) {
  return std::async(std::launch::async, [title, button, timeout_ms]() -> std::wstring {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms) {
      HWND box = FindWindowW(L"#32770", title.c_str());
      if (box) {
        wchar_t text[4096] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 4096);
        HWND target = GetDlgItem(box, button);
        if (target) {
          SendMessageW(target, BM_CLICK, 0, 0);
        } else {
          PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        }
        return text;
      }
      Sleep(50);
    }
    return L"<none>";
  });
}

HWND FindProcessWindow(DWORD pid, const wchar_t* window_class) {
  struct Search {
    DWORD pid;
    const wchar_t* window_class;
    HWND found;
  } search{pid, window_class, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        DWORD owner = 0;
        wchar_t cls[64] = {};
        GetWindowThreadProcessId(hwnd, &owner);
        GetClassNameW(hwnd, cls, 64);
        if (owner != s->pid || wcscmp(cls, s->window_class) != 0 || !IsWindowVisible(hwnd)) return TRUE;
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace varnak::test
