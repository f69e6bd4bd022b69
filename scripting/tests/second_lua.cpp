// A second, private copy of the Lua runtime in a test DLL: its states must
// be refused by Seskel's registration operations, which serve only states of
// the shared lua52.dll.
#include <windows.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

__declspec(dllexport) lua_State* NewForeignState() {
  lua_State* L = luaL_newstate();
  if (L) luaL_openlibs(L);
  return L;
}

__declspec(dllexport) int ForeignGlobalType(lua_State* L, const char* name) {
  lua_getglobal(L, name);
  int type = lua_type(L, -1);
  lua_pop(L, 1);
  return type;
}

__declspec(dllexport) void CloseForeignState(lua_State* L) { lua_close(L); }
}
