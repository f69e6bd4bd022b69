// Shared pieces of the script library's function libraries.
#include "scripting/seskel_support.h"

#include <strsafe.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/gbk_text.h"
#include "scripting/script_rules.h"

namespace seskel {

namespace {
const char kMessageTitle[] = "Seskel提示";
const char kFormatFailed[] = "DbgPrintA: StringCchVPrintfA ret FAILED";
constexpr size_t kMessageBufferSize = 2048;
}  // namespace

void DbgPrintA(const char* format, ...) {
  char* text = static_cast<char*>(std::calloc(kMessageBufferSize, 1));
  if (!text) {
    // the fixed text needs no buffer
    MessageBoxA(nullptr, kFormatFailed, kMessageTitle, MB_OK);
    return;
  }
  va_list args;
  va_start(args, format);
  HRESULT hr = StringCchVPrintfA(text, kMessageMaxChars + 1, format, args);
  va_end(args);
  MessageBoxA(nullptr, SUCCEEDED(hr) ? text : kFormatFailed, kMessageTitle, MB_OK);
  std::free(text);
}

bool CopyStringArg(lua_State* L, int index, char* buf, size_t size) {
  if (size) buf[0] = 0;
  if (!lua_isstring(L, index)) return false;
  size_t len = 0;
  // converts a number argument in place, which is what the is-string test allows
  const char* text = lua_tolstring(L, index, &len);
  if (!text || len + 1 > size || std::strlen(text) != len) return false;
  std::memcpy(buf, text, len + 1);
  return true;
}

int32_t ArgWrapped32(lua_State* L, int index) { return ToWrapped32(lua_tonumber(L, index)); }

namespace {

int InstallStep(lua_State* L) {
  const auto* functions = static_cast<const luaL_Reg*>(lua_touserdata(L, 1));
  for (const luaL_Reg* f = functions; f->name; ++f) {
    lua_pushcclosure(L, f->func, 0);
    lua_setglobal(L, f->name);
  }
  return 0;
}

int CallbackStepRunner(lua_State* L) {
  const auto* step = static_cast<const CallbackStep*>(lua_touserdata(L, 1));
  lua_getglobal(L, step->name);
  step->push_args(L, step->data);
  // a failing callback leaves its error value, whose truth value counts
  lua_pcall(L, step->arg_count, 1, 0);
  lua_pushboolean(L, lua_toboolean(L, -1));
  return 1;
}

}  // namespace

bool InstallGlobals(lua_State* L, const luaL_Reg* functions) {
  lua_pushcclosure(L, InstallStep, 0);
  lua_pushlightuserdata(L, const_cast<luaL_Reg*>(functions));
  if (lua_pcall(L, 1, 0, 0) != LUA_OK) {
    lua_pop(L, 1);
    return false;
  }
  return true;
}

bool SameRuntime(lua_State* L) { return L && lua_version(L) == lua_version(nullptr); }

bool CallScriptCallback(lua_State* L, const CallbackStep& step) {
  lua_pushcclosure(L, CallbackStepRunner, 0);
  lua_pushlightuserdata(L, const_cast<CallbackStep*>(&step));
  lua_pcall(L, 1, 1, 0);
  bool truth = lua_toboolean(L, -1) != 0;
  lua_pop(L, 1);
  return truth;
}

const char* ErrorValueText(lua_State* L, int index, char* buf, size_t size) {
  int type = lua_type(L, index);
  if (type == LUA_TSTRING || type == LUA_TNUMBER) {
    size_t len = 0;
    const char* text = lua_tolstring(L, index, &len);
    varnak::CutGbkText(buf, size, text);
  } else {
    std::snprintf(buf, size, "(error object is a %s value)", lua_typename(L, type));
  }
  return buf;
}

bool HostExePath(char* buf, size_t size) {
  DWORD n = GetModuleFileNameA(nullptr, buf, static_cast<DWORD>(size));
  if (n == 0 || n >= size) {
    if (size) buf[0] = 0;
    return false;
  }
  return true;
}

bool HostExeFolder(char* buf, size_t size) {
  if (!HostExePath(buf, size)) return false;
  // GBK aware: a trail byte 0x5C is no separator
  ptrdiff_t last = LastSeparator(buf);
  if (last < 0) {
    buf[0] = 0;
    return false;
  }
  buf[last] = 0;
  return true;
}

bool JoinPath(char* buf, size_t size, const char* a, const char* b) {
  size_t la = std::strlen(a), lb = std::strlen(b);
  if (la + 1 + lb + 1 > size) {
    if (size) buf[0] = 0;
    return false;
  }
  std::memcpy(buf, a, la);
  buf[la] = '\\';
  std::memcpy(buf + la + 1, b, lb + 1);
  return true;
}

}  // namespace seskel
