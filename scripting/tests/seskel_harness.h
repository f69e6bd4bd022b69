// Test harness of the script library: binds Seskel.dll by export name the
// way the main program does, makes Lua states through the shared lua52.dll,
// runs Lua text and records the "Seskel提示" boxes it shows.
#ifndef VARNAK_SCRIPTING_TESTS_SESKEL_HARNESS_H
#define VARNAK_SCRIPTING_TESTS_SESKEL_HARNESS_H

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "scripting/seskel_api.h"

namespace seskel::test {

// The exports of Seskel.dll, bound by name from the test program's folder.
struct SeskelExports {
  RegisterLuaPublicFunCtionFn register_public = nullptr;
  RegisterLuaClearFunCtionFn register_clear = nullptr;
  RegisterLuaPopupBlockFunCtionFn register_popup_block = nullptr;
  RegisterOrlimbLuaFunCtionFn register_engine_bridge = nullptr;
  StartLuaScriptFn start_lua_script = nullptr;
  StartClearLuaScriptFn start_clear_lua_script = nullptr;
  StartPopupBlockLuaScriptFn start_popup_block_lua_script = nullptr;
};
const SeskelExports& Seskel();

// Answers every "Seskel提示" box with OK while alive and keeps their texts
// (GBK, as the library wrote them).
class BoxRecorder {
 public:
  BoxRecorder();
  ~BoxRecorder();
  BoxRecorder(const BoxRecorder&) = delete;
  BoxRecorder& operator=(const BoxRecorder&) = delete;
  // Stops watching (after a short grace for a box still on its way) and
  // returns every text seen.
  std::vector<std::string> Stop();

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::string> texts_;
  std::thread thread_;
};

// A Lua state with the standard libraries, closed on destruction.
class ScriptState {
 public:
  ScriptState();
  ~ScriptState();
  ScriptState(const ScriptState&) = delete;
  ScriptState& operator=(const ScriptState&) = delete;
  lua_State* get() const { return L_; }

  // Runs `code` (GBK Lua text) and returns its results joined by "|", each
  // written as Lua's tostring writes it, with strings quoted: 'text'. An
  // error gives "error: <message>". Boxes shown meanwhile go to boxes().
  std::string Run(const std::string& code);
  const std::vector<std::string>& boxes() const { return boxes_; }

 private:
  lua_State* L_;
  std::vector<std::string> boxes_;
};

// The UTF-16 text as GBK bytes, and back.
std::string ToGbk(const std::wstring& text);

// Quotes text as a Lua long string, safe for any bytes.
std::string LuaQuote(const std::string& text);

}  // namespace seskel::test

#endif
