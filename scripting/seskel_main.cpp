// Seskel.dll: the seven exports. Four registration operations install a
// function library into a state the caller owns; three runners run a script
// file in a state of their own. The library shares the main program's Lua
// runtime (lua52.dll): one runtime per process, never a static copy.
#include <windows.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "scripting/seskel_api.h"
#include "scripting/seskel_libs.h"
#include "scripting/seskel_support.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  // binds lua52.dll at load time, so a missing runtime fails the load at once
  if (reason == DLL_PROCESS_ATTACH && lua_version(nullptr) == nullptr) return FALSE;
  return TRUE;
}

// Registration runs outside any protected call of the host, so it raises
// nothing: a state of another Lua copy, or one that refuses a global, gets 0.
SESKEL_EXPORT int SESKEL_CALL RegisterLuaPublicFunCtion(lua_State* L) {
  return seskel::SameRuntime(L) && seskel::InstallPublicLibrary(L) ? 1 : 0;
}

SESKEL_EXPORT int SESKEL_CALL RegisterLuaClearFunCtion(lua_State* L, int flag) {
  return seskel::SameRuntime(L) && seskel::InstallClearLibrary(L, flag != 0) ? 1 : 0;
}

SESKEL_EXPORT int SESKEL_CALL RegisterLuaPopupBlockFunCtion(lua_State* L) {
  return seskel::SameRuntime(L) && seskel::InstallPopupBlockLibrary(L) ? 1 : 0;
}

SESKEL_EXPORT int SESKEL_CALL RegisterOrlimbLuaFunCtion(lua_State* L) {
  return seskel::SameRuntime(L) && seskel::InstallEngineBridgeLibrary(L) ? 1 : 0;
}

namespace {

enum class RunnerKind { kFull, kClear, kPopupBlock };

// Opens the standard libraries and installs the runner's libraries, inside a
// protected call (an allocation failure must not reach the panic handler).
int PrepareState(lua_State* L) {
  auto kind = static_cast<RunnerKind>(lua_tointeger(L, 1));
  lua_settop(L, 0);
  luaL_openlibs(L);
  bool ok = seskel::InstallPublicLibrary(L);
  if (kind != RunnerKind::kPopupBlock) ok = ok && seskel::InstallClearLibrary(L, false);
  if (kind != RunnerKind::kClear) ok = ok && seskel::InstallPopupBlockLibrary(L);
  if (kind == RunnerKind::kFull) ok = ok && seskel::InstallEngineBridgeLibrary(L);
  if (!ok) return luaL_error(L, "cannot install the script functions");
  return 0;
}

// Fetches the entry function and calls it for one result, all in one
// protected step: a metatable on _G may raise while the global is fetched.
int CallEntry(lua_State* L) {
  lua_getglobal(L, static_cast<const char*>(lua_touserdata(L, 1)));
  lua_call(L, 0, 1);
  return 1;
}

// Shows "Lua脚本问题:%s" with the error value on top of the stack.
void ShowScriptProblem(lua_State* L) {
  char text[2048];
  seskel::DbgPrintA("Lua脚本问题:%s", seskel::ErrorValueText(L, -1, text, sizeof text));
}

int RunScript(RunnerKind kind, const char* path, const char* entry) {
  const bool report = kind == RunnerKind::kFull;
  if (!path) {
    // Lua would read standard input for a null path
    if (report) seskel::DbgPrintA("Lua脚本问题:%s", "cannot open (null)");
    return 0;
  }
  lua_State* L = luaL_newstate();
  if (!L) return 0;
  lua_pushcclosure(L, PrepareState, 0);
  lua_pushinteger(L, static_cast<lua_Integer>(kind));
  int status = lua_pcall(L, 1, 0, 0);
  if (status == LUA_OK) status = luaL_loadfilex(L, path, nullptr);
  if (status == LUA_OK) status = lua_pcall(L, 0, LUA_MULTRET, 0);
  if (status == LUA_OK) {
    lua_pushcclosure(L, CallEntry, 0);
    lua_pushlightuserdata(L, const_cast<char*>(entry && *entry ? entry : "main"));
    status = lua_pcall(L, 1, 1, 0);
  }
  int result = 0;
  if (status != LUA_OK) {
    if (report) ShowScriptProblem(L);
  } else {
    result = lua_toboolean(L, -1) ? 1 : 0;
    lua_pop(L, 1);
  }
  lua_close(L);
  return result;
}

}  // namespace

SESKEL_EXPORT int SESKEL_CALL StartLuaScript(const char* path, const char* entry) {
  return RunScript(RunnerKind::kFull, path, entry);
}

SESKEL_EXPORT int SESKEL_CALL StartClearLuaScript(const char* path, const char* entry) {
  return RunScript(RunnerKind::kClear, path, entry);
}

SESKEL_EXPORT int SESKEL_CALL StartPopupBlockLuaScript(const char* path, const char* entry) {
  return RunScript(RunnerKind::kPopupBlock, path, entry);
}
