// Process utilities: paths, names and parents of processes, ending
// processes by name, processor affinity, and starting a program through the
// desktop shell.
#include <windows.h>
#include <exdisp.h>
#include <psapi.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>

#include "common/win_handles.h"
#include "engine/core/path_text.h"
#include "engine/frame/engine.h"
#include "engine/process/process_walk.h"

#ifndef PROCESS_QUERY_LIMITED_INFORMATION
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
#endif

namespace varnak::engine {

namespace {
constexpr size_t kPathSize = ORLIMB_PATH_SIZE;

typedef BOOL(WINAPI* QueryFullProcessImageNameA_t)(HANDLE, DWORD, LPSTR, PDWORD);
QueryFullProcessImageNameA_t volatile g_image_name = nullptr;

QueryFullProcessImageNameA_t ImageNameRoutine() {
  QueryFullProcessImageNameA_t routine = g_image_name;
  if (!routine) {
    routine = reinterpret_cast<QueryFullProcessImageNameA_t>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("Kernel32.dll"), "QueryFullProcessImageNameA")));
    g_image_name = routine;
  }
  return routine;
}
}  // namespace

bool WantedProcessName(const char* name, std::wstring* wide) {
  if (!name || !*name) return false;
  wchar_t buffer[MAX_PATH];
  int n = MultiByteToWideChar(CP_ACP, 0, name, -1, buffer, MAX_PATH);
  if (n <= 0) return false;  // does not fit 259 characters and the terminator
  wide->assign(buffer, static_cast<size_t>(n - 1));
  return true;
}

bool SameProcessName(const wchar_t* entry, const std::wstring& wanted) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, entry, -1, wanted.c_str(), -1) == CSTR_EQUAL;
}

bool ProcessPathByPid(DWORD pid, std::string* path) {
  LogA("GetProcessPathByPid->PID: %d\r\n", int(pid));
  {
    unique_file modules(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
    MODULEENTRY32W module;
    module.dwSize = sizeof module;
    if (modules && Module32FirstW(modules.get(), &module)) {
      std::string ansi = WideToAnsi(module.szExePath);
      if (!ansi.empty() && ansi.size() < kPathSize) {
        LogA("GetProcessPathByPid->CreateToolhelp32Snapshot: %s\r\n", ansi.c_str());
        *path = ansi;
        return true;
      }
    }
  }
  unique_handle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process) process.reset(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return false;
  LogA("GetProcessPathByPid->OpenProcess: %d yes!\r\n", int(pid));
  if (CachedVersion().major >= 6) {
    QueryFullProcessImageNameA_t routine = ImageNameRoutine();
    LogA("GetProcessPathByPid->GetProcAddress: %d yes!\r\n", int(pid));
    if (routine) {
      LogA("QueryFullProcessImageName start\r\n");
      char buffer[kPathSize] = {};
      DWORD size = kPathSize;
      if (routine(process.get(), 0, buffer, &size) && size > 0 && size < kPathSize) {
        LogA("GetProcessPathByPid->QueryFullProcessImageName: %s\r\n", buffer);
        path->assign(buffer, size);
        return true;
      }
    } else {
      LogA("get QueryFullProcessImageName error -> GetModuleFileNameExA start\r\n");
    }
  }
  // a larger buffer than the field, so that a long path is seen as too long
  // rather than silently cut
  char buffer[2 * kPathSize] = {};
  DWORD n = GetModuleFileNameExA(process.get(), nullptr, buffer, sizeof buffer);
  if (n == 0 || n >= kPathSize) return false;
  LogA("GetProcessPathByPid->QueryFullProcessImageName: %s\r\n", buffer);
  path->assign(buffer, n);
  return true;
}

namespace {

void WritePath(char* out, const std::string& path) { memcpy(out, path.c_str(), path.size() + 1); }

// Ends processes of a name; shared by ZuduraduProcessName and GetProcessPathAndKill.
int EndProcessesByName(const char* name, int all) {
  if (!name || !*name) return 0;
  std::wstring wanted;
  if (!WantedProcessName(name, &wanted)) return 1;  // an over-long name ends nothing
  bool seen = false;
  WalkProcesses([&](const PROCESSENTRY32W& e) {
    if (!SameProcessName(e.szExeFile, wanted)) {
      LogW(L"进程:%ls 不是要找的:%ls\r\n", e.szExeFile, wanted.c_str());
      return true;
    }
    seen = true;
    LogW(L"ZuduraduProcessName, 进程:%ls 找到!\r\n", e.szExeFile);
    unique_handle process(OpenProcess(PROCESS_TERMINATE, FALSE, e.th32ProcessID));
    if (!process) {
      LogA("[ZuduraduProcessName]Open进程失败:error:%d PID:%d\r\n", int(GetLastError()), int(e.th32ProcessID));
      return true;
    }
    LogA(TerminateProcess(process.get(), 0) ? "ZuduraduProcessName,TerminateProcess yes\r\n"
                                            : "ZuduraduProcessName,TerminateProcess NO\r\n");
    return all == 1;  // any other value: only the first process that could be opened
  });
  if (!seen) LogW(L"进程:%ls 没有找到\r\n", wanted.c_str());
  return 1;
}

int PathOfFirstByName(const char* name, char* path) {
  if (!name || !*name || !path) return 0;
  std::wstring wanted;
  if (!WantedProcessName(name, &wanted)) return 0;
  LogA("[GetProcessPath]Find:%s\r\n", name);
  int found = 0;
  bool walked = WalkProcesses([&](const PROCESSENTRY32W& e) {
    if (!SameProcessName(e.szExeFile, wanted)) {
      LogW(L"[GetProcessPath]进程:%ls 不是要找的:%ls", e.szExeFile, wanted.c_str());
      return true;
    }
    LogW(L"[GetProcessPath]进程:%ls 找到!", e.szExeFile);
    found = 1;
    std::string p;
    if (ProcessPathByPid(e.th32ProcessID, &p)) WritePath(path, p);
    return false;
  });
  if (walked) LogA("[GetProcessPath]CreateToolhelp32Snapshot完毕");
  return found;
}

}  // namespace

}  // namespace varnak::engine

using namespace varnak;
using namespace varnak::engine;

ORLIMB_EXPORT int ORLIMB_CALL GetProcessPathByPid(unsigned pid, char* path) {
  return Guarded(0, [&] {
    if (pid == 0 || !path) return 0;
    std::string p;
    if (!ProcessPathByPid(pid, &p)) return 0;
    WritePath(path, p);
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL GetProcessPath(const char* name, char* path) {
  return Guarded(0, [&] { return PathOfFirstByName(name, path); });
}

ORLIMB_EXPORT int ORLIMB_CALL GetProcessName(unsigned pid, char* out, int capacity) {
  return Guarded(0, [&] {
    if (pid == 0 || !out || capacity <= 0) {
      LogA("ProcessId:%d ProcessName:%d Size:%d \r\n", int(pid), int(reinterpret_cast<INT_PTR>(out)), capacity);
      return 0;
    }
    LogA("start GetProcessPathByPid\r\n");
    std::string p;
    if (!ProcessPathByPid(pid, &p)) return 0;
    LogA("end GetProcessPathByPid:%s\r\n", p.c_str());
    std::string file = GbkFileName(p);
    if (file.size() + 1 > static_cast<size_t>(capacity)) return 0;  // a cut name names another file
    memcpy(out, file.c_str(), file.size() + 1);
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL GetParentProcessIDByPID(unsigned pid, unsigned* parent) {
  return Guarded(0, [&] {
    if (pid == 0 || !parent) return 0;
    int found = 0;
    bool walked = WalkProcesses([&](const PROCESSENTRY32W& e) {
      if (e.th32ProcessID != pid) {
        LogW(L"[GetProcessPath]进程:%ls 不是要找的:%d\r\n", e.szExeFile, int(pid));
        return true;
      }
      LogW(L"[GetProcessPath]进程:%d 找到! 为:%ls\r\n", int(pid), e.szExeFile);
      *parent = e.th32ParentProcessID;
      found = 1;
      return false;
    });
    if (walked) LogA("[GetProcessPath]CreateToolhelp32Snapshot完毕\r\n");
    return found;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL GetParentProcessID(const char* name, unsigned* parent) {
  return Guarded(0, [&] {
    if (!name || !*name || !parent) return 0;
    std::wstring wanted;
    if (!WantedProcessName(name, &wanted)) return 0;
    LogA("[GetProcessPath]Find:%s\r\n", name);
    int found = 0;
    bool walked = WalkProcesses([&](const PROCESSENTRY32W& e) {
      if (!SameProcessName(e.szExeFile, wanted)) {
        LogW(L"[GetProcessPath]进程:%ls 不是要找的:%ls\r\n", e.szExeFile, wanted.c_str());
        return true;
      }
      LogW(L"[GetProcessPath]进程:%ls 找到!\r\n", e.szExeFile);
      *parent = e.th32ParentProcessID;
      found = 1;
      return false;
    });
    if (walked) LogA("[GetProcessPath]CreateToolhelp32Snapshot完毕\r\n");
    return found;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL ZuduraduProcessName(const char* name, int all) {
  return Guarded(0, [&] { return EndProcessesByName(name, all); });
}

ORLIMB_EXPORT int ORLIMB_CALL GetProcessPathAndKill(const char* name, char* path, int all) {
  return Guarded(0, [&] {
    if (!name || !*name || !path) return 0;
    PathOfFirstByName(name, path);
    return EndProcessesByName(name, all);
  });
}

ORLIMB_EXPORT int ORLIMB_CALL SetCpukernel(const char* name) {
  return Guarded(0, [&] {
    if (!name || !*name) return 0;
    std::wstring wanted;
    if (!WantedProcessName(name, &wanted)) return 1;
    WalkProcesses([&](const PROCESSENTRY32W& e) {
      if (!SameProcessName(e.szExeFile, wanted)) {
        LogW(L"进程:%ls 不是要找的:%ls", e.szExeFile, wanted.c_str());
        return true;
      }
      LogW(L"进程:%ls 找到!", e.szExeFile);
      // only the rights the affinity change needs (all access is refused on XP)
      unique_handle process(
          OpenProcess(PROCESS_SET_INFORMATION | PROCESS_QUERY_INFORMATION, FALSE, e.th32ProcessID));
      if (!process) {
        LogA("[SetCpukernel]Open进程失败:error:%d PID:%d", int(GetLastError()), int(e.th32ProcessID));
      } else {
        SetProcessAffinityMask(process.get(), 1);
      }
      return false;
    });
    return 1;
  });
}

namespace {

// Asks the desktop shell (explorer) to start the program, so that it runs
// with the shell's rights rather than the caller's.
void StartThroughShell(const std::wstring& file, const std::wstring& parameters, const std::wstring& folder) {
  ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                              reinterpret_cast<void**>(windows.put()))))
    return;
  VARIANT location, root;
  VariantInit(&location);
  VariantInit(&root);
  long window = 0;
  ComPtr<IDispatch> desktop;
  if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.put()) != S_OK ||
      !desktop)
    return;
  ComPtr<IServiceProvider> services;
  if (FAILED(desktop->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(services.put())))) return;
  ComPtr<IShellBrowser> browser;
  if (FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                    reinterpret_cast<void**>(browser.put()))))
    return;
  ComPtr<IShellView> view;
  if (FAILED(browser->QueryActiveShellView(view.put())) || !view) return;
  ComPtr<IDispatch> background;
  if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(background.put()))))
    return;
  ComPtr<IShellFolderViewDual> folder_view;
  if (FAILED(background->QueryInterface(IID_IShellFolderViewDual, reinterpret_cast<void**>(folder_view.put()))))
    return;
  ComPtr<IDispatch> application;
  if (FAILED(folder_view->get_Application(application.put())) || !application) return;
  ComPtr<IShellDispatch2> shell;
  if (FAILED(application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(shell.put())))) return;

  BSTR b_file = SysAllocString(file.c_str());
  VARIANT args, dir, verb, show;
  VariantInit(&args);
  VariantInit(&dir);
  VariantInit(&verb);
  VariantInit(&show);
  args.vt = VT_BSTR;
  args.bstrVal = SysAllocString(parameters.c_str());
  dir.vt = VT_BSTR;
  dir.bstrVal = SysAllocString(folder.c_str());
  verb.vt = VT_BSTR;
  verb.bstrVal = SysAllocString(L"Open");
  show.vt = VT_I4;
  show.lVal = SW_SHOW;
  if (b_file) shell->ShellExecute(b_file, args, dir, verb, show);
  SysFreeString(b_file);
  VariantClear(&args);
  VariantClear(&dir);
  VariantClear(&verb);
}

}  // namespace

ORLIMB_EXPORT int ORLIMB_CALL StartProcess_explorer(const char* file, const char* parameters) {
  return Guarded(1, [&] {
    if (FittingLength(file, ORLIMB_PATH_SIZE) <= 0) return 1;  // nothing, or a name a cut would change
    if (!parameters) parameters = "";
    const std::string folder = GbkParentFolder(file);
    if (CachedVersion().major < 6) {
      ShellExecuteA(nullptr, "Open", file, parameters, folder.c_str(), SW_SHOW);
      return 1;
    }
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(init)) return 1;  // e.g. the thread is already in the multithreaded apartment
    StartThroughShell(AnsiToWide(file), AnsiToWide(parameters), AnsiToWide(folder.c_str()));
    CoUninitialize();  // balanced with the successful initialisation above
    return 1;
  });
}
