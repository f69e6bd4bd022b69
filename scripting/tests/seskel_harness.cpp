// Test harness of the script library (see seskel_harness.h).
#include "scripting/tests/seskel_harness.h"

#include <future>

#include "testsupport/winhost.h"

namespace seskel::test {

const SeskelExports& Seskel() {
  static const SeskelExports exports = [] {
    SeskelExports e;
    HMODULE m = LoadLibraryA((varnak::test::BinDir() + "\\Seskel.dll").c_str());
    if (!m) return e;
    auto bind = [m](auto& slot, const char* name) {
      slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
          reinterpret_cast<void*>(GetProcAddress(m, name)));
    };
    bind(e.register_public, "RegisterLuaPublicFunCtion");
    bind(e.register_clear, "RegisterLuaClearFunCtion");
    bind(e.register_popup_block, "RegisterLuaPopupBlockFunCtion");
    bind(e.register_engine_bridge, "RegisterOrlimbLuaFunCtion");
    bind(e.start_lua_script, "StartLuaScript");
    bind(e.start_clear_lua_script, "StartClearLuaScript");
    bind(e.start_popup_block_lua_script, "StartPopupBlockLuaScript");
    return e;
  }();
  return exports;
}

std::string ToGbk(const std::wstring& text) {
  int n = WideCharToMultiByte(936, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return "";
  std::string out(n, '\0');
  WideCharToMultiByte(936, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  out.resize(n - 1);
  return out;
}

std::string LuaQuote(const std::string& text) {
  std::string level;
  while (text.find("]" + level + "]") != std::string::npos) level += "=";
  // a leading newline would be dropped by the long-string syntax
  return "[" + level + "[\n" + text + "]" + level + "]";
}

BoxRecorder::BoxRecorder() {
  thread_ = std::thread([this] {
    while (!stop_.load()) {
      std::wstring text = varnak::test::ClickMessageBox(L"Seskel提示", IDOK, 100).get();
      if (text == L"<none>") continue;
      texts_.push_back(ToGbk(text));
      // wait for the answered box to go, so that it is not read twice
      for (int i = 0; i < 100; ++i) {
        HWND box = FindWindowW(L"#32770", L"Seskel提示");
        if (!box || IsWindowVisible(box)) break;
        Sleep(10);
      }
    }
  });
}

BoxRecorder::~BoxRecorder() { Stop(); }

std::vector<std::string> BoxRecorder::Stop() {
  if (thread_.joinable()) {
    Sleep(50);
    stop_.store(true);
    thread_.join();
  }
  return texts_;
}

ScriptState::ScriptState() : L_(luaL_newstate()) { luaL_openlibs(L_); }

ScriptState::~ScriptState() { lua_close(L_); }

std::string ScriptState::Run(const std::string& code) {
  BoxRecorder recorder;
  int base = lua_gettop(L_);
  std::string out;
  if (luaL_loadstring(L_, code.c_str()) != LUA_OK || lua_pcall(L_, 0, LUA_MULTRET, 0) != LUA_OK) {
    const char* message = lua_tostring(L_, -1);
    out = std::string("error: ") + (message ? message : "?");
  } else {
    for (int i = base + 1; i <= lua_gettop(L_); ++i) {
      if (i > base + 1) out += "|";
      if (lua_type(L_, i) == LUA_TSTRING) {
        out += "'" + std::string(lua_tostring(L_, i)) + "'";
      } else {
        lua_getglobal(L_, "tostring");
        lua_pushvalue(L_, i);
        lua_call(L_, 1, 1);
        out += lua_tostring(L_, -1);
        lua_pop(L_, 1);
      }
    }
  }
  lua_settop(L_, base);
  boxes_ = recorder.Stop();
  return out;
}

}  // namespace seskel::test
