// Seskel.dll entry point. The script library shares the main program's Lua
// runtime (lua52.dll): one runtime per process, never a static copy.
#include <windows.h>

extern "C" {
#include <lua.h>
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  // binds lua52.dll at load time, so a missing runtime fails the load at once
  if (reason == DLL_PROCESS_ATTACH && lua_version(nullptr) == nullptr) return FALSE;
  return TRUE;
}
