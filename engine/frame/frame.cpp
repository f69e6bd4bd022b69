// The engine frame: attach (log switch, module pin), the two debug-log
// writers, the statistics request SetLog, the thread helpers and the system
// version cache.
#include "engine/frame/engine.h"

#include <process.h>
#include <strsafe.h>
#include <wininet.h>

#include <cstdarg>
#include <cstring>
#include <cwchar>

#include "common/win_handles.h"

namespace varnak::engine {
namespace {

volatile LONG g_log_switch = 0;

// The version cache: four words; empty while major and minor are both 0.
// Fillers store build and bitness first and major last, so a reader that sees
// a non-zero major also sees the rest.
volatile LONG g_major = 0, g_minor = 0, g_build = 0, g_bitness = 0;

const char kFormatFailed[] = "DbgPrintA: StringCchVPrintfA ret FAILED";

void VLogA(const char* format, va_list args) {
  char* buffer = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 2048));
  if (!buffer) {
    MessageBoxA(nullptr, "内存不足!", "Varnak异常捕获程序", MB_OK);
    return;
  }
  HRESULT hr = format ? StringCchVPrintfA(buffer, kLogChars, format, args) : E_INVALIDARG;
  OutputDebugStringA(SUCCEEDED(hr) ? buffer : kFormatFailed);
  HeapFree(GetProcessHeap(), 0, buffer);
}

}  // namespace

bool LogOn() { return g_log_switch == 1; }

void LogA(const char* format, ...) {
  if (!LogOn()) return;
  va_list args;
  va_start(args, format);
  VLogA(format, args);
  va_end(args);
}

void LogW(const wchar_t* format, ...) {
  if (!LogOn()) return;
  // 1,055 characters and the terminator, sized in wchar_t; a longer line is
  // written cut (StringCch leaves the truncated text terminated).
  wchar_t buffer[kLogChars];
  buffer[0] = L'\0';
  va_list args;
  va_start(args, format);
  if (format) StringCchVPrintfW(buffer, kLogChars, format, args);
  va_end(args);
  OutputDebugStringW(buffer);
}

std::wstring AnsiToWide(const char* text) {
  if (!text || !*text) return std::wstring();
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, &out[0], n);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

std::string WideToAnsi(const wchar_t* text) {
  if (!text || !*text) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

int FittingLength(const char* text, size_t capacity) {
  if (!text) return -1;
  size_t len = strnlen(text, capacity);
  return len < capacity ? static_cast<int>(len) : -1;
}

namespace {
bool RegionAllows(const void* p, size_t n, DWORD allowed) {
  if (n == 0) return true;
  if (!p) return false;
  auto at = reinterpret_cast<uintptr_t>(p);
  const uintptr_t end = at + n;
  if (end < at) return false;
  while (at < end) {
    MEMORY_BASIC_INFORMATION mbi;
    if (!VirtualQuery(reinterpret_cast<void*>(at), &mbi, sizeof mbi)) return false;
    if (mbi.State != MEM_COMMIT || (mbi.Protect & (PAGE_GUARD | PAGE_NOACCESS)) || !(mbi.Protect & allowed))
      return false;
    at = reinterpret_cast<uintptr_t>(mbi.BaseAddress) + mbi.RegionSize;
  }
  return true;
}
}  // namespace

bool IsReadable(const void* p, size_t n) {
  return RegionAllows(p, n, PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY);
}

bool IsWritable(void* p, size_t n) {
  return RegionAllows(p, n, PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY);
}

std::string NativeFilePath(const char* path) {
  std::string p = path ? path : "";
#ifndef _WIN64
  typedef BOOL(WINAPI * IsWow64Process_t)(HANDLE, PBOOL);
  auto is_wow64 = reinterpret_cast<IsWow64Process_t>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  if (!is_wow64 || !is_wow64(GetCurrentProcess(), &wow64) || !wow64) return p;
  char windir[MAX_PATH] = {};
  UINT n = GetSystemWindowsDirectoryA(windir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return p;
  std::string system32 = std::string(windir) + "\\System32\\";
  if (p.size() > system32.size() && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, p.c_str(),
                                                   int(system32.size()), system32.c_str(),
                                                   int(system32.size())) == CSTR_EQUAL)
    return std::string(windir) + "\\Sysnative\\" + p.substr(system32.size());
#endif
  return p;
}

std::wstring HostFolder() {
  wchar_t path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return L".";
  std::wstring s(path, n);
  size_t slash = s.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : s.substr(0, slash);
}

// --- system version ---

bool ReadSystemVersion(SystemVersion* v) {
  SystemVersion r;
  bool ok = false;
  wchar_t ntdll_path[MAX_PATH] = {};
  UINT n = GetSystemDirectoryW(ntdll_path, MAX_PATH);
  if (n > 0 && n < MAX_PATH - 11) {
    StringCchCatW(ntdll_path, MAX_PATH, L"\\ntdll.dll");
    HMODULE ntdll = GetModuleHandleW(ntdll_path);
    if (!ntdll && GetFileAttributesW(ntdll_path) != INVALID_FILE_ATTRIBUTES) ntdll = LoadLibraryW(ntdll_path);
    typedef LONG(WINAPI * RtlGetVersion_t)(OSVERSIONINFOW*);
    auto rtl_get_version = ntdll ? reinterpret_cast<RtlGetVersion_t>(reinterpret_cast<void*>(
                                       GetProcAddress(ntdll, "RtlGetVersion")))
                                 : nullptr;
    if (rtl_get_version) {
      OSVERSIONINFOW info;
      memset(&info, 0, sizeof info);
      info.dwOSVersionInfoSize = sizeof info;
      rtl_get_version(&info);
      if (info.dwMajorVersion != 0) {
        r.major = int(info.dwMajorVersion);
        r.minor = int(info.dwMinorVersion);
        r.build = int(info.dwBuildNumber);
        ok = true;
      }
    }
  }
  if (!ok) {
    OSVERSIONINFOEXW info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return false;
    r.major = int(info.dwMajorVersion);
    r.minor = int(info.dwMinorVersion);
    r.build = int(info.dwBuildNumber);
  }
  SYSTEM_INFO si;
  memset(&si, 0, sizeof si);
  typedef void(WINAPI * GetNativeSystemInfo_t)(SYSTEM_INFO*);
  auto native = reinterpret_cast<GetNativeSystemInfo_t>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetNativeSystemInfo")));
  if (native) {
    native(&si);
  } else {
    GetSystemInfo(&si);
  }
  LogA("SystemInfo.wProcessorArchitecture:%d\r\n", int(si.wProcessorArchitecture));
  bool wide = si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
              si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
  LogA(wide ? "64bit" : "32bit");
  r.bitness = wide ? 64 : 32;
  *v = r;
  return true;
}

namespace {
void StoreVersion(const SystemVersion& v) {
  InterlockedExchange(&g_build, v.build);
  InterlockedExchange(&g_bitness, v.bitness);
  InterlockedExchange(&g_minor, v.minor);
  InterlockedExchange(&g_major, v.major);
}
}  // namespace

SystemVersion CachedVersion() {
  SystemVersion v;
  v.major = int(InterlockedCompareExchange(&g_major, 0, 0));
  v.minor = int(InterlockedCompareExchange(&g_minor, 0, 0));
  if (v.major == 0 && v.minor == 0) {
    if (!ReadSystemVersion(&v)) return SystemVersion();
    StoreVersion(v);
    return v;
  }
  v.build = int(g_build);
  v.bitness = int(g_bitness);
  return v;
}

// --- statistics request ---

namespace {

constexpr size_t kUrlCapacity = 1024;  // the thread's copy: at most 1,023 bytes
constexpr DWORD kReplyBytes = 2048;

unsigned __stdcall SetLogThread(void* parameter) {
  char url[kUrlCapacity] = {};
  if (parameter) {
    CopyMemory(url, parameter, strnlen(static_cast<char*>(parameter), kUrlCapacity - 1));
    HeapFree(GetProcessHeap(), 0, parameter);
  }
  if (url[0] == '\0') {
    LogA("Me_SetLog:url is null");
    return 0;
  }
  LogA("Me_SetLogSend:%s", url);
  unique_hinternet session(InternetOpenA("zuduradu_tongji", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return 0;
  // RELOAD as well as NO_CACHE_WRITE: every call reaches the service.
  unique_hinternet request(InternetOpenUrlA(session.get(), url, nullptr, 0,
                                            INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD, 0));
  if (!request) return 0;
  // one extra zero byte: a full reply stays terminated for the log line
  char* reply = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kReplyBytes + 1));
  if (!reply) return 0;
  DWORD read = 0;
  if (InternetReadFile(request.get(), reply, kReplyBytes, &read)) {
    if (read > 0 && reply[0] != '\0') {
      LogA("Me_SetLogRet:%s", reply);
    } else {
      LogA("Me_SetLog:CloudRetStr Is NULL");
    }
  }
  HeapFree(GetProcessHeap(), 0, reply);
  return 0;
}

}  // namespace

}  // namespace varnak::engine

using namespace varnak;
using namespace varnak::engine;

ORLIMB_EXPORT int __cdecl DbgPrintA(const char* format, ...) {
  if (!LogOn()) return 0;
  va_list args;
  va_start(args, format);
  VLogA(format, args);
  va_end(args);
  return 1;
}

ORLIMB_EXPORT int ORLIMB_CALL SetLog(const char* url) {
  return Guarded(0, [&] {
    LogA("SetLogSend:%s", url ? url : "");
    const size_t len = url ? strnlen(url, kUrlCapacity) : 0;
    if (len >= kUrlCapacity) return 0;  // the request copy holds at most 1,023 bytes
    char* block = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, len + 1));
    if (!block) return 0;
    if (len) CopyMemory(block, url, len);
    uintptr_t thread = _beginthreadex(nullptr, 0, &SetLogThread, block, 0, nullptr);
    if (!thread) {
      HeapFree(GetProcessHeap(), 0, block);
      return 0;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL Me_CreateThread(OrlimbThreadStart start, void* parameter, HANDLE* handle) {
  return Guarded(0, [&] {
    if (!start) return 0;
    uintptr_t thread = _beginthreadex(nullptr, 0, start, parameter, 0, nullptr);
    if (!thread) return 0;
    if (handle) {
      *handle = reinterpret_cast<HANDLE>(thread);
    } else {
      CloseHandle(reinterpret_cast<HANDLE>(thread));
    }
    return 1;
  });
}

ORLIMB_EXPORT void ORLIMB_CALL SafeExitThread(void) { _endthreadex(0); }

ORLIMB_EXPORT int ORLIMB_CALL SafeTerminateThread(HANDLE thread) {
  if (!thread) return 0;
  BOOL ended = TerminateThread(thread, 0);
  if (!ended) ended = TerminateThread(thread, 1);
  CloseHandle(thread);  // the caller handed the handle over
  return ended ? 1 : 0;
}

ORLIMB_EXPORT int ORLIMB_CALL Mian_GetSystemInfo(int* major, int* minor, int* build, int* bitness) {
  return Guarded(0, [&] {
    if (!major || !minor || !build || !bitness) return 0;
    SystemVersion v;
    if (!ReadSystemVersion(&v)) return 0;
    StoreVersion(v);
    *major = v.major;
    *minor = v.minor;
    *build = v.build;
    *bitness = v.bitness;
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL IfNewWindows(void) { return CachedVersion().major >= 6 ? 1 : 0; }

ORLIMB_EXPORT int ORLIMB_CALL If64Bit(void) { return CachedVersion().bitness == 64 ? 1 : 0; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  // Engine threads (statistics requests, later the boost and memory threads)
  // run code of this module: keep it mapped even if a host frees it.
  HMODULE pinned = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                     reinterpret_cast<LPCWSTR>(instance), &pinned);
  std::wstring settings = HostFolder() + L"\\Conf.ini";
  // six characters of room: only a whole value of at most five counts
  wchar_t value[6] = {};
  GetPrivateProfileStringW(L"DeBug", L"DeBug", L"", value, 6, settings.c_str());
  g_log_switch = _wcsicmp(value, L"true") == 0 ? 1 : 0;
  LogW(L"load now!");
  return TRUE;
}
