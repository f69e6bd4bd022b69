// Varnak.exe entry point.
#include <windows.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // the main program owns every Lua state; the runtime is lua52.dll
  lua_State* L = luaL_newstate();
  if (!L) return 1;
  lua_close(L);
  return 0;
}
