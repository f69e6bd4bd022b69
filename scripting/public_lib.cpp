// The public library: regular-expression test, question box, pause, the host
// program's location and command line, INI settings files. Installed into
// every Lua state of the product.
#include <windows.h>

#include <shellapi.h>

#include <cstring>
#include <regex>

#include "scripting/script_rules.h"
#include "scripting/seskel_libs.h"
#include "scripting/seskel_support.h"

namespace seskel {
namespace {

constexpr size_t kPathBuffer = 260;
constexpr size_t kRegexBuffer = 1024;

enum class RegexResult { kNoMatch, kMatch, kBadPattern };

// Case-insensitive ECMAScript search over the bytes of the text. The
// regex objects live and die here, before any Lua call.
RegexResult SearchRegex(const char* text, const char* pattern) noexcept {
  std::regex re;
  try {
    re.assign(pattern, std::regex::ECMAScript | std::regex::icase);
  } catch (...) {
    return RegexResult::kBadPattern;
  }
  try {
    return std::regex_search(text, re) ? RegexResult::kMatch : RegexResult::kNoMatch;
  } catch (...) {
    return RegexResult::kNoMatch;  // the matcher gave up (complexity limit)
  }
}

// CheckRegx(text, pattern) -> boolean. Texts over 1,023 bytes are refused:
// the matcher recurses per character and would overflow the stack.
int l_CheckRegx(lua_State* L) {
  char text[kRegexBuffer], pattern[kRegexBuffer];
  if (!CopyStringArg(L, 1, text, sizeof text) || !CopyStringArg(L, 2, pattern, sizeof pattern)) {
    DbgPrintA("Lua脚本问题:CheckRegx第一个或第二个参数不是字符串!");
    lua_pushboolean(L, 0);
    return 1;
  }
  RegexResult r = SearchRegex(text, pattern);
  if (r == RegexResult::kBadPattern) {
    DbgPrintA("Lua脚本问题:CheckRegx第二个参数不是有效的正则表达式!");
  }
  lua_pushboolean(L, r == RegexResult::kMatch);
  return 1;
}

// MessageBox(caption, text) -> true when the user chose OK.
int l_MessageBox(lua_State* L) {
  char caption[kPathBuffer], text[kPathBuffer];
  if (lua_gettop(L) != 2 || !CopyStringArg(L, 1, caption, sizeof caption) ||
      !CopyStringArg(L, 2, text, sizeof text)) {
    DbgPrintA("Lua脚本问题:MessageBox遇到意外的参数或参数数目不对!");
    lua_pushboolean(L, 0);
    return 1;
  }
  lua_pushboolean(L, MessageBoxA(nullptr, text, caption, MB_OKCANCEL) == IDOK);
  return 1;
}

// Sleep(ms) -> true. Negative and NaN wait 0, huge values at most 0x7FFFFFFF.
int l_Sleep(lua_State* L) {
  if (lua_gettop(L) != 1 || !lua_isnumber(L, 1)) {
    DbgPrintA("Lua脚本问题:Sleep遇到意外的参数或参数数目不对!");
    lua_pushboolean(L, 0);
    return 1;
  }
  ::Sleep(ToMilliseconds(lua_tonumber(L, 1)));
  lua_pushboolean(L, 1);
  return 1;
}

// GetRunTimeDir() -> the host program's folder, without a trailing backslash.
int l_GetRunTimeDir(lua_State* L) {
  char folder[kPathBuffer];
  HostExeFolder(folder, sizeof folder);
  lua_pushstring(L, folder);
  return 1;
}

// ReadConfig(file, section, key) -> the value, or "".
int l_ReadConfig(lua_State* L) {
  char file[kPathBuffer], section[kPathBuffer], key[kPathBuffer];
  if (!CopyStringArg(L, 1, file, sizeof file) || !CopyStringArg(L, 2, section, sizeof section) ||
      !CopyStringArg(L, 3, key, sizeof key)) {
    DbgPrintA("lua脚本问题:ReadConfig参数异常!");
    lua_pushstring(L, "");
    return 1;
  }
  char value[kPathBuffer] = {};
  GetPrivateProfileStringA(section, key, "", value, sizeof value, file);
  lua_pushstring(L, value);
  return 1;
}

// WriteConfig(file, section, key, value) -> boolean, or "" after a bad
// argument. A missing value is refused: the platform would delete the key.
int l_WriteConfig(lua_State* L) {
  char file[kPathBuffer], section[kPathBuffer], key[kPathBuffer], value[kPathBuffer];
  if (!CopyStringArg(L, 1, file, sizeof file) || !CopyStringArg(L, 2, section, sizeof section) ||
      !CopyStringArg(L, 3, key, sizeof key) || !CopyStringArg(L, 4, value, sizeof value)) {
    DbgPrintA("lua脚本问题:WriteConf参数异常!");
    lua_pushstring(L, "");
    return 1;
  }
  lua_pushboolean(L, WritePrivateProfileStringA(section, key, value, file) != 0);
  return 1;
}

// GetLaunchPath() -> the host program's full path.
int l_GetLaunchPath(lua_State* L) {
  char path[kPathBuffer];
  HostExePath(path, sizeof path);
  lua_pushstring(L, path);
  return 1;
}

// GetLaunchCommandLine(index) -> that command-line argument, or nil.
int l_GetLaunchCommandLine(lua_State* L) {
  double wanted = lua_tonumber(L, 1);
  const wchar_t* line = GetCommandLineW();
  // a Lua-owned buffer, made before anything needs freeing: no argument
  // converts to more than two bytes per UTF-16 unit of the whole line
  size_t capacity = 2 * wcslen(line) + 1;
  char* out = static_cast<char*>(lua_newuserdata(L, capacity));
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(line, &count);
  bool found = false;
  size_t index = 0;
  if (args && ToIndex(wanted, static_cast<size_t>(count), &index)) {
    int n = WideCharToMultiByte(CP_ACP, 0, args[index], -1, out, static_cast<int>(capacity), nullptr,
                                nullptr);
    found = n > 0;
  }
  if (args) LocalFree(args);
  if (found) {
    lua_pushstring(L, out);
  } else {
    lua_pushnil(L);
  }
  lua_remove(L, -2);
  return 1;
}

const luaL_Reg kPublicFunctions[] = {
    {"CheckRegx", l_CheckRegx},
    {"MessageBox", l_MessageBox},
    {"Sleep", l_Sleep},
    {"GetRunTimeDir", l_GetRunTimeDir},
    {"ReadConfig", l_ReadConfig},
    {"WriteConfig", l_WriteConfig},
    {"GetLaunchPath", l_GetLaunchPath},
    {"GetLaunchCommandLine", l_GetLaunchCommandLine},
    {nullptr, nullptr},
};

}  // namespace

bool InstallPublicLibrary(lua_State* L) { return InstallGlobals(L, kPublicFunctions); }

}  // namespace seskel
