// The foreground boost (raising the priority class of the process that owns
// the foreground window) and the process watcher (WMI creation and deletion
// events).
#include <windows.h>
#include <objbase.h>
#include <wbemidl.h>

#include <cstring>
#include <string>

#include "engine/core/engine_rules.h"
#include "engine/core/path_text.h"
#include "engine/core/process_watch.h"
#include "engine/frame/engine.h"
#include "engine/process/process_walk.h"

namespace varnak::engine {
namespace {

// The boost state: the raised process and the class it had before. Steps
// are serialised: a step that finds another one running is skipped (two
// boost threads can exist when the setting is switched off and on quickly).
struct BoostState {
  DWORD pid = 0;
  HANDLE process = nullptr;
  DWORD saved_class = 0;
};
BoostState g_boost;

CRITICAL_SECTION* BoostLock() {
  static CRITICAL_SECTION* lock = [] {
    static CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    return &cs;
  }();
  return lock;
}

// Online games whose players reported account bans, and the desktop shell.
const char* const kNeverBoosted[] = {"explorer.exe", "QQsanguo.exe", "QQhuaxia.exe", "ava.exe",
                                     "dnf.exe",      "QQdance.exe",  "QQTang.exe"};

unsigned long long UptimeMs() {
  typedef ULONGLONG(WINAPI * GetTickCount64_t)(void);
  static const GetTickCount64_t tick64 = reinterpret_cast<GetTickCount64_t>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
  return tick64 ? tick64() : GetTickCount();
}

void RestoreBoosted() {
  if (!g_boost.process) return;
  SetPriorityClass(g_boost.process, g_boost.saved_class);
  CloseHandle(g_boost.process);
  g_boost = BoostState();
}

void BoostStep() {
  if (UptimeMs() <= 60000) return;
  HWND foreground = GetForegroundWindow();
  if (!foreground) return;
  DWORD pid = 0;
  GetWindowThreadProcessId(foreground, &pid);
  if (!pid) return;
  // the same process, still alive (an ended one whose id came back is "another process")
  if (g_boost.process && pid == g_boost.pid && WaitForSingleObject(g_boost.process, 0) == WAIT_TIMEOUT) {
    DWORD again = ReboostClass(g_boost.saved_class, GetPriorityClass(g_boost.process));
    if (again) SetPriorityClass(g_boost.process, again);
    return;
  }
  RestoreBoosted();
  std::string path;
  if (!ProcessPathByPid(pid, &path)) return;
  const std::string name = GbkFileName(path);
  for (const char* excluded : kNeverBoosted) {
    if (lstrcmpiA(name.c_str(), excluded) == 0) {
      LogA("老有用户反馈封号问题.QQ游戏进程硬编码排除");
      return;
    }
  }
  // SYNCHRONIZE as well: the next steps check whether the process has ended
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_SET_INFORMATION | SYNCHRONIZE, FALSE, pid);
  if (!process) return;
  g_boost.pid = pid;
  g_boost.process = process;
  g_boost.saved_class = GetPriorityClass(process);
  SetPriorityClass(process, BoostedClass(g_boost.saved_class));
}

// One event source over a WMI notification query.
class WmiEvents {
 public:
  ~WmiEvents() {
    if (events_) events_->Release();
    if (services_) services_->Release();
    if (locator_) locator_->Release();
  }

  bool Start(bool creation) {
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                reinterpret_cast<void**>(&locator_))))
      return false;
    BSTR ns = SysAllocString(L"ROOT\\CIMV2");
    HRESULT hr = locator_->ConnectServer(ns, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services_);
    SysFreeString(ns);
    if (FAILED(hr)) return false;
    if (FAILED(CoSetProxyBlanket(services_, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                 RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE)))
      return false;
    BSTR language = SysAllocString(L"WQL");
    BSTR query = SysAllocString(
        creation ? L"select * from __instancecreationevent within 1 where TargetInstance isa 'Win32_Process'"
                 : L"select * from __instancedeletionevent within 1 where TargetInstance isa 'Win32_Process'");
    hr = services_->ExecNotificationQuery(language, query, WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY,
                                          nullptr, &events_);
    SysFreeString(language);
    SysFreeString(query);
    return SUCCEEDED(hr) && events_;
  }

  NextEvent Next(ProcessEvent* event) {
    IWbemClassObject* object = nullptr;
    ULONG returned = 0;
    HRESULT hr = events_->Next(WBEM_INFINITE, 1, &object, &returned);
    if (FAILED(hr) || returned == 0 || !object) {
      if (object) object->Release();
      return NextEvent::kWaitFailed;
    }
    NextEvent result = Read(object, event) ? NextEvent::kEvent : NextEvent::kReadFailed;
    object->Release();
    return result;
  }

 private:
  static bool ReadNumber(IWbemClassObject* o, const wchar_t* name, uint32_t* value) {
    VARIANT v;
    VariantInit(&v);
    if (FAILED(o->Get(name, 0, &v, nullptr, nullptr))) return false;
    bool ok = true;
    if (v.vt == VT_I4) {
      *value = uint32_t(v.lVal);
    } else if (v.vt == VT_UI4) {
      *value = v.ulVal;
    } else {
      ok = false;
    }
    VariantClear(&v);
    return ok;
  }

  static bool Read(IWbemClassObject* object, ProcessEvent* event) {
    VARIANT target;
    VariantInit(&target);
    if (FAILED(object->Get(L"TargetInstance", 0, &target, nullptr, nullptr)) || target.vt != VT_UNKNOWN ||
        !target.punkVal) {
      VariantClear(&target);
      return false;
    }
    IWbemClassObject* process = nullptr;
    bool ok = SUCCEEDED(target.punkVal->QueryInterface(IID_IWbemClassObject, reinterpret_cast<void**>(&process)));
    VariantClear(&target);
    if (!ok) return false;
    VARIANT path;
    VariantInit(&path);
    ok = SUCCEEDED(process->Get(L"ExecutablePath", 0, &path, nullptr, nullptr));
    if (ok) {
      if (path.vt == VT_BSTR && path.bstrVal) {
        event->path = WideToAnsi(path.bstrVal);
      } else if (path.vt == VT_NULL || path.vt == VT_EMPTY) {
        event->path.clear();  // the system does not know it: not a failure
      } else {
        ok = false;
      }
    }
    VariantClear(&path);
    ok = ok && ReadNumber(process, L"ProcessID", &event->pid) &&
         ReadNumber(process, L"ParentProcessID", &event->parent_pid);
    process->Release();
    return ok;
  }

  IWbemLocator* locator_ = nullptr;
  IWbemServices* services_ = nullptr;
  IEnumWbemClassObject* events_ = nullptr;
};

int WatchProcessChanges(int creation, OrlimbProcessChangeReport report, void* context) {
  HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  const bool initialised = SUCCEEDED(init);
  int result = 0;
  {
    WmiEvents events;
    if (events.Start(creation != 0)) {
      result = RunProcessWatch([&](ProcessEvent* e) { return events.Next(e); },
                               [&](const ProcessEvent& e) {
                                 LogA("path:%s PID:%d PPID:%d", e.path.c_str(), int(e.pid), int(e.parent_pid));
                                 return report(e.pid, e.path.c_str(), e.parent_pid, context);
                               },
                               [](unsigned ms) { Sleep(ms); });
    }
  }
  if (initialised) CoUninitialize();  // on every path
  return result;
}

}  // namespace
}  // namespace varnak::engine

using namespace varnak::engine;

ORLIMB_EXPORT int ORLIMB_CALL ActiveProcessUP(void) {
  if (!TryEnterCriticalSection(BoostLock())) return 0;  // another step is running
  Guarded(0, [] {
    BoostStep();
    return 0;
  });
  LeaveCriticalSection(BoostLock());
  return 1;
}

ORLIMB_EXPORT DWORD ORLIMB_CALL ActiveProcessUP_F(void* block) {
  if (!block) return 0;
  auto* words = static_cast<volatile LONG*>(block);  // {interval ms, running flag}
  const LONG interval = words[0];
  while (InterlockedCompareExchange(&words[1], 0, 0) != 0) {
    Sleep(interval > 0 ? DWORD(interval) : 0);
    // checked again after the sleep: a stopped thread takes no further step
    if (InterlockedCompareExchange(&words[1], 0, 0) == 0) break;
    ActiveProcessUP();
  }
  // give the last raised process its own class back
  EnterCriticalSection(BoostLock());
  RestoreBoosted();
  LeaveCriticalSection(BoostLock());
  HeapFree(GetProcessHeap(), 0, block);
  return 0;
}

ORLIMB_EXPORT int ORLIMB_CALL GetNextProcessChange(int creation, OrlimbProcessChangeReport report, void* context) {
  if (!report) return 0;
  return Guarded(0, [&] { return WatchProcessChanges(creation, report, context); });
}
