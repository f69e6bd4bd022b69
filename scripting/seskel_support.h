// What the four function libraries of the script library share: the
// "Seskel提示" message routine, argument helpers, protected script callbacks
// and the host program's location.
//
// Lua is built as C and raises errors with longjmp, so code that calls a Lua
// routine able to raise keeps no C++ object with a destructor alive across
// that call: results are prepared in plain buffers first, then pushed.
#ifndef VARNAK_SCRIPTING_SESKEL_SUPPORT_H
#define VARNAK_SCRIPTING_SESKEL_SUPPORT_H

#include <windows.h>

#include <cstddef>
#include <cstdint>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

namespace seskel {

// The library's message box: formats printf-style (at most 1,055
// characters) and shows it modally, without owner, titled "Seskel提示".
// The format is always a fixed text of ours; script text goes in arguments.
void DbgPrintA(const char* format, ...);

// Copies argument `index` into buf (capacity `size`, terminator included)
// when it passes Lua's is-string test and fits whole. False otherwise, with
// buf left empty: a cut path or key would name something else.
bool CopyStringArg(lua_State* L, int index, char* buf, size_t size);

// Argument `index` as a 32-bit handle or id value (see ToWrapped32).
int32_t ArgWrapped32(lua_State* L, int index);
// A 32-bit handle value widened by sign extension, the platform's rule.
inline HWND ToWindow(int32_t value) { return reinterpret_cast<HWND>(static_cast<intptr_t>(value)); }
inline int32_t FromWindow(HWND window) {
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(window));
}

// Installs functions as globals, in order (lua_pushcclosure, lua_setglobal),
// inside a protected call so that nothing is raised into a host that has no
// protected call around it. False if the state refused them.
bool InstallGlobals(lua_State* L, const luaL_Reg* functions);

// True when L was made by the same Lua runtime as this library.
bool SameRuntime(lua_State* L);

// Calls the global function `name` with arguments pushed by push_args, as one
// protected step: fetching the global, the pushes, the call and reading the
// result. The truth value of the first result, or of the error value when
// anything failed (Lua's rules: only nil and false are false).
struct CallbackStep {
  const char* name;
  int arg_count;
  void (*push_args)(lua_State* L, const void* data);
  const void* data;
};
bool CallScriptCallback(lua_State* L, const CallbackStep& step);

// The text of the error value at `index`: a string or number as Lua writes
// it, otherwise "(error object is a X value)". Written into buf.
const char* ErrorValueText(lua_State* L, int index, char* buf, size_t size);

// The host program's executable path and its folder (without a trailing
// backslash), ANSI, in 260-byte buffers. False (and "") when they do not fit.
bool HostExePath(char* buf, size_t size);
bool HostExeFolder(char* buf, size_t size);

// Joins a, "\\" and b into buf when the whole fits; false otherwise.
bool JoinPath(char* buf, size_t size, const char* a, const char* b);

}  // namespace seskel

#endif
