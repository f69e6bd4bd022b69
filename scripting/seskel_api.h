// The exports of the script library (Seskel.dll), for the main program and
// the tests that bind them by name with GetProcAddress.
//
// Every export is SESKEL_CALL (WINAPI, __stdcall) and is exported
// undecorated through seskel.def. A lua_State handed over must come from the
// one shared runtime, lua52.dll; a registration operation registers nothing
// and returns 0 when the state belongs to another copy of Lua.
#ifndef VARNAK_SCRIPTING_SESKEL_API_H
#define VARNAK_SCRIPTING_SESKEL_API_H

#include <windows.h>

struct lua_State;

#define SESKEL_CALL WINAPI

#ifdef SESKEL_BUILDING
#define SESKEL_EXPORT extern "C"
#else
#define SESKEL_EXPORT extern "C" __declspec(dllimport)
#endif

// Registration operations: install one library of script functions as
// globals of the caller's state. Result 1, or 0 when nothing was installed.
typedef int(SESKEL_CALL* RegisterLuaPublicFunCtionFn)(lua_State* L);
typedef int(SESKEL_CALL* RegisterLuaClearFunCtionFn)(lua_State* L, int flag);
typedef int(SESKEL_CALL* RegisterLuaPopupBlockFunCtionFn)(lua_State* L);
typedef int(SESKEL_CALL* RegisterOrlimbLuaFunCtionFn)(lua_State* L);

// Runners: run a script file in a state of their own and call its entry
// function (null or "" means "main"). Result 1 when the entry function's
// first result is true by Lua's rules, 0 otherwise.
typedef int(SESKEL_CALL* StartLuaScriptFn)(const char* path, const char* entry);
typedef int(SESKEL_CALL* StartClearLuaScriptFn)(const char* path, const char* entry);
typedef int(SESKEL_CALL* StartPopupBlockLuaScriptFn)(const char* path, const char* entry);

#ifdef SESKEL_BUILDING
SESKEL_EXPORT int SESKEL_CALL RegisterLuaPublicFunCtion(lua_State* L);
// flag != 0 also installs RegDeleteKey, DeleteFile and MoveFile
SESKEL_EXPORT int SESKEL_CALL RegisterLuaClearFunCtion(lua_State* L, int flag);
SESKEL_EXPORT int SESKEL_CALL RegisterLuaPopupBlockFunCtion(lua_State* L);
SESKEL_EXPORT int SESKEL_CALL RegisterOrlimbLuaFunCtion(lua_State* L);
SESKEL_EXPORT int SESKEL_CALL StartLuaScript(const char* path, const char* entry);
SESKEL_EXPORT int SESKEL_CALL StartClearLuaScript(const char* path, const char* entry);
SESKEL_EXPORT int SESKEL_CALL StartPopupBlockLuaScript(const char* path, const char* entry);
#endif

#endif
