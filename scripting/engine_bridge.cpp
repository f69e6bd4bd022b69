// The engine-bridge library: a selection of the engine's exports for
// scripts, reached by name in the Orlimb.dll beside the host program (loaded
// on first use and kept), and the download function, which needs no engine.
#include <windows.h>

#include <wininet.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/win_handles.h"
#include "common/gbk_text.h"
#include "engine/core/cloud_endpoint.h"
#include "engine/orlimb_api.h"
#include "scripting/script_rules.h"
#include "scripting/seskel_libs.h"
#include "scripting/seskel_support.h"

namespace seskel {
namespace {

constexpr size_t kInputBuffer = 261;
constexpr size_t kVersionBuffer = 260;
constexpr size_t kDigestBuffer = 33;
constexpr size_t kUrlBuffer = 1024;
constexpr size_t kPathBuffer = 260;

// The cloud service host, the engine's own setting: VARNAK_CLOUD_HOST when
// it holds a plain "name[:port]", else the compiled-in host. Read from the
// process environment (not the C runtime's copy) at every call.
void CloudHost(char* host, size_t size) {
  char value[kPathBuffer];
  DWORD n = GetEnvironmentVariableA(varnak::engine::kCloudHostVariable, value, sizeof value);
  std::string chosen = varnak::engine::CloudHostFrom(n && n < sizeof value ? value : nullptr);
  varnak::CopyGbkWhole(host, size, chosen.c_str());
}

// Copies a URL built by the engine's rules into buf when it fits whole.
bool BuildUrl(char* buf, size_t size, const std::string& url) { return varnak::CopyGbkWhole(buf, size, url.c_str()); }

// --- Loading the engine --------------------------------------------------------

// Process-wide, never freed; two threads loading at once get the same
// module, counted twice by the loader, which is harmless.
std::atomic<HMODULE> g_engine{nullptr};

HMODULE LoadEngine() {
  HMODULE engine = g_engine.load();
  if (engine) return engine;
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  wchar_t* slash = n && n < MAX_PATH ? wcsrchr(path, L'\\') : nullptr;
  const wchar_t kName[] = L"\\Orlimb.dll";
  if (!slash || (slash - path) + wcslen(kName) + 1 > MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  wcscpy(slash, kName);
  engine = LoadLibraryW(path);
  if (engine) g_engine.store(engine);
  return engine;
}

// The engine's export `name`, or null after the load message (with the
// platform's error code: 126 for a missing module, 127 for a missing export).
FARPROC EngineExport(const char* name) {
  HMODULE engine = LoadEngine();
  FARPROC function = engine ? GetProcAddress(engine, name) : nullptr;
  if (!function) {
    DWORD error = GetLastError();
    DbgPrintA("Orlimb加载失败,错误代码:%d", static_cast<int>(error));
  }
  return function;
}

template <typename Fn>
Fn Export(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(EngineExport(name)));
}

// --- String functions ------------------------------------------------------------

// Shape of the functions that pass one string to the engine and push what
// it wrote; false when the engine or the argument is unusable. True when the
// engine was called.
bool CallTextExport(lua_State* L, const char* export_name) {
  auto function = Export<GetFileCompanyName_fn>(export_name);
  char input[kInputBuffer], output[kInputBuffer] = {};
  if (!function || !CopyStringArg(L, 1, input, kInputBuffer - 1)) {
    lua_pushboolean(L, 0);
    return false;
  }
  function(input, output);
  output[kInputBuffer - 1] = 0;
  lua_pushstring(L, output);
  return true;
}

int l_GetFileCompanyName(lua_State* L) {
  CallTextExport(L, "GetFileCompanyName");
  return 1;
}

// Also notes on the debugger (not in a box) that it ran, whatever the
// engine returned.
int l_GetFileDescription(lua_State* L) {
  if (CallTextExport(L, "GetFileDescription")) OutputDebugStringA("[GetFileDescription_lua] 获取描述成功!\r\n");
  return 1;
}

int l_GetProcessPath(lua_State* L) {
  CallTextExport(L, "GetProcessPath");
  return 1;
}

// GetFileSigCompany(file) -> the signer's name, or " " when unsigned.
int l_GetFileSigCompany(lua_State* L) {
  auto function = Export<CheckSigAndHashA_fn>("CheckSigAndHashA");
  char input[kInputBuffer], output[kInputBuffer] = {};
  if (!function || !CopyStringArg(L, 1, input, kInputBuffer - 1)) {
    lua_pushboolean(L, 0);
    return 1;
  }
  function(0, input, output);
  output[kInputBuffer - 1] = 0;
  lua_pushstring(L, output);
  return 1;
}

// GetProcessPathByPid(pid) -> the process's path, or "".
int l_GetProcessPathByPid(lua_State* L) {
  auto function = Export<GetProcessPathByPid_fn>("GetProcessPathByPid");
  if (!function) {
    lua_pushboolean(L, 0);
    return 1;
  }
  char output[kInputBuffer] = {};
  function(static_cast<uint32_t>(ArgWrapped32(L, 1)), output);
  output[kInputBuffer - 1] = 0;
  lua_pushstring(L, output);
  return 1;
}

// SendLogtoCloud(path_and_query) -> true when the engine took the request.
int l_SendLogtoCloud(lua_State* L) {
  auto function = Export<SetLog_fn>("SetLog");
  char text[kUrlBuffer], host[kPathBuffer], url[kUrlBuffer];
  if (!function || !CopyStringArg(L, 1, text, sizeof text)) {
    lua_pushboolean(L, 0);
    return 1;
  }
  CloudHost(host, sizeof host);
  // the engine's rule: a text that starts with neither '/' nor '?' gets a
  // '/' first, so that it can never extend the host name
  if (!BuildUrl(url, sizeof url, varnak::engine::StatisticsUrl(host, text))) {
    lua_pushboolean(L, 0);
    return 1;
  }
  lua_pushboolean(L, function(url) != 0);
  return 1;
}

// GetMid() -> the machine identifier ("" when the engine has none), nil
// when the engine cannot be loaded.
int l_GetMid(lua_State* L) {
  auto function = Export<GetMID_fn>("GetMID");
  if (!function) {
    lua_pushnil(L);
    return 1;
  }
  char output[kDigestBuffer] = {};
  function(output);
  output[kDigestBuffer - 1] = 0;
  lua_pushstring(L, output);
  return 1;
}

// GetFileVer(file) -> the version text, or "".
int l_GetFileVer(lua_State* L) {
  auto function = Export<GetFileVer_fn>("GetFileVer");
  char input[kInputBuffer], output[kVersionBuffer] = {};
  if (!function || !CopyStringArg(L, 1, input, kInputBuffer - 1)) {
    lua_pushnil(L);
    return 1;
  }
  function(input, output);
  output[kVersionBuffer - 1] = 0;
  lua_pushstring(L, output);
  return 1;
}

// GetStringMD5(text) -> MD5 of all the text's bytes, 32 hex characters.
int l_GetStringMD5(lua_State* L) {
  auto function = Export<GetMd5FromMemoryA_fn>("GetMd5FromMemoryA");
  if (!function || !lua_isstring(L, 1)) {
    lua_pushnil(L);
    return 1;
  }
  size_t length = 0;
  const char* text = lua_tolstring(L, 1, &length);
  if (!text || length > 0xFFFFFFFFu) {
    lua_pushnil(L);
    return 1;
  }
  char output[kDigestBuffer] = {};
  function(text, static_cast<unsigned>(length), output);
  output[kDigestBuffer - 1] = 0;
  lua_pushstring(L, output);
  return 1;
}

// GetFileMD5(file) -> MD5 of the file's content, or nil.
int l_GetFileMD5(lua_State* L) {
  auto function = Export<GetMd5A_fn>("GetMd5A");
  char input[kPathBuffer], output[kDigestBuffer] = {};
  if (!function || !CopyStringArg(L, 1, input, sizeof input) || !function(input, output)) {
    lua_pushnil(L);
    return 1;
  }
  output[kDigestBuffer - 1] = 0;
  lua_pushstring(L, output);
  return 1;
}

// --- Process watcher -------------------------------------------------------------

struct WatchContext {
  lua_State* L;
  char callback[kPathBuffer];
  int creation;
};

struct WatchEvent {
  unsigned pid;
  const char* path;
  unsigned parent_pid;
  int creation;
};

void PushWatchEvent(lua_State* L, const void* data) {
  const auto* event = static_cast<const WatchEvent*>(data);
  lua_pushnumber(L, event->pid);
  lua_pushstring(L, event->path ? event->path : "");
  lua_pushnumber(L, event->parent_pid);
  lua_pushboolean(L, event->creation);
}

// Called by the engine once per event on the watching thread: 1 goes on,
// 0 stops. The callback runs as one protected step, so no Lua error crosses
// the engine's frames; a failing callback keeps the watch going.
int ORLIMB_CALL ReportProcessChange(unsigned pid, const char* path, unsigned parent_pid, void* context) {
  const auto* watch = static_cast<const WatchContext*>(context);
  WatchEvent event{pid, path, parent_pid, watch->creation};
  CallbackStep step{watch->callback, 4, PushWatchEvent, &event};
  return CallScriptCallback(watch->L, step) ? 1 : 0;
}

// GetNextProcessChange(creation, callback_name) -> the engine's result.
int l_GetNextProcessChange(lua_State* L) {
  WatchContext watch;
  watch.L = L;
  if (lua_type(L, 1) != LUA_TBOOLEAN || !CopyStringArg(L, 2, watch.callback, sizeof watch.callback)) {
    DbgPrintA("LUA脚本问题:GetNextProcessChange参数不正确!");
    lua_pushboolean(L, 0);
    return 1;
  }
  watch.creation = lua_toboolean(L, 1);
  auto function = Export<GetNextProcessChange_fn>("GetNextProcessChange");
  if (!function) {
    lua_pushboolean(L, 0);
    return 1;
  }
  lua_pushboolean(L, function(watch.creation, ReportProcessChange, &watch) != 0);
  return 1;
}

// --- Download ----------------------------------------------------------------------

// Fetches url into `temp`: true only for status 200 with the whole body
// (as many bytes as Content-Length announced, when it did).
bool FetchToFile(const char* url, const char* temp) {
  varnak::unique_hinternet session(InternetOpenA("Seskel", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return false;
  varnak::unique_hinternet request(InternetOpenUrlA(
      session.get(), url, nullptr, 0,
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES, 0));
  if (!request) return false;
  DWORD status = 0, size = sizeof status;
  if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
      status != 200) {
    return false;
  }
  char length_text[32] = {};
  DWORD length_size = sizeof length_text - 1;
  bool has_length = HttpQueryInfoA(request.get(), HTTP_QUERY_CONTENT_LENGTH, length_text, &length_size, nullptr);
  varnak::unique_file file(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  unsigned long long total = 0;
  char chunk[16384];
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(request.get(), chunk, sizeof chunk, &got)) return false;
    if (got == 0) break;
    DWORD written = 0;
    if (!WriteFile(file.get(), chunk, got, &written, nullptr) || written != got) return false;
    total += got;
  }
  if (has_length && std::strtoull(length_text, nullptr, 10) != total) return false;
  return FlushFileBuffers(file.get()) != 0;
}

// Downloads cloud host + "/" + remote into the host program's folder under
// `local`, replacing the file only after a complete HTTP 200 reply.
bool DownloadToHostFolder(const char* remote, const char* local) {
  if (!IsSafeLocalName(local)) return false;
  char folder[kPathBuffer], host[kPathBuffer], url[kPathBuffer], target[kPathBuffer];
  if (!HostExeFolder(folder, sizeof folder)) return false;
  CloudHost(host, sizeof host);
  if (!BuildUrl(url, sizeof url, varnak::engine::DownloadUrl(host, remote))) return false;
  if (!JoinPath(target, sizeof target, folder, local)) return false;
  // the temporary file sits in the target's own folder, so the final move is
  // a rename on one volume
  char target_folder[kPathBuffer];
  std::memcpy(target_folder, target, sizeof target);
  target_folder[LastSeparator(target_folder)] = 0;
  char temp[MAX_PATH];
  if (!GetTempFileNameA(target_folder, "dl", 0, temp)) return false;
  DeleteUrlCacheEntryA(url);
  bool ok = FetchToFile(url, temp) && MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING);
  if (!ok) DeleteFileA(temp);
  return ok;
}

// DownloadCloudFile(remote_path, local_name) -> true when the file was saved.
int l_DownloadCloudFile(lua_State* L) {
  char remote[kPathBuffer], local[kPathBuffer];
  bool ok = CopyStringArg(L, 1, remote, sizeof remote) && CopyStringArg(L, 2, local, sizeof local) &&
            DownloadToHostFolder(remote, local);
  lua_pushboolean(L, ok);
  return 1;
}

const luaL_Reg kEngineBridgeFunctions[] = {
    {"GetNextProcessChange", l_GetNextProcessChange},
    {"GetFileCompanyName", l_GetFileCompanyName},
    {"GetFileDescription", l_GetFileDescription},
    {"GetFileSigCompany", l_GetFileSigCompany},
    {"GetProcessPath", l_GetProcessPath},
    {"GetProcessPathByPid", l_GetProcessPathByPid},
    {"SendLogtoCloud", l_SendLogtoCloud},
    {"GetMid", l_GetMid},
    {"GetFileVer", l_GetFileVer},
    {"GetStringMD5", l_GetStringMD5},
    {"GetFileMD5", l_GetFileMD5},
    {"DownloadCloudFile", l_DownloadCloudFile},
    {nullptr, nullptr},
};

}  // namespace

bool InstallEngineBridgeLibrary(lua_State* L) { return InstallGlobals(L, kEngineBridgeFunctions); }

}  // namespace seskel
