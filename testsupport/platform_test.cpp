// The platform the tests stand on: the shared Lua runtime, GBK text through
// the ANSI routines, debug-output capture, message boxes and the deliverables
// loading by name.
#include <gtest/gtest.h>

#include <string>

#include "testsupport/winhost.h"

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

namespace varnak::test {
namespace {

TEST(Platform, AnsiCodePageIsGbk) { EXPECT_EQ(GetACP(), 936u); }

TEST(Platform, LuaRuntimeRunsAChunk) {
  lua_State* L = luaL_newstate();
  ASSERT_NE(L, nullptr);
  luaL_openlibs(L);
  ASSERT_EQ(luaL_dostring(L, "return string.format('%d-%s', 6 * 7, ('ab'):upper())"), LUA_OK);
  EXPECT_STREQ(lua_tostring(L, -1), "42-AB");
  lua_close(L);
}

TEST(Platform, GbkTextRoundTripsThroughProfileFiles) {
  TempFolder dir;
  ASSERT_FALSE(dir.path().empty());
  // file name, section, key and value are all GBK literals
  const std::string ini = dir.File("设置.ini");
  ASSERT_TRUE(WritePrivateProfileStringA("用户选择", "进程", "结束进程:是", ini.c_str()));
  char value[64] = {};
  GetPrivateProfileStringA("用户选择", "进程", "", value, sizeof value, ini.c_str());
  EXPECT_EQ(std::string(value), "结束进程:是");
  EXPECT_EQ(std::string("进程"), "\xBD\xF8\xB3\xCC");  // the literal itself is GBK
}

TEST(Platform, DebugOutputIsCaptured) {
  DebugCapture capture;
  OutputDebugStringA("plain line");
  OutputDebugStringW(L"进程:abc 找到!");
  EXPECT_TRUE(capture.Contains("plain line"));
  EXPECT_TRUE(capture.Contains("\xBD\xF8\xB3\xCC:abc \xD5\xD2\xB5\xBD!"));
}

TEST(Platform, MessageBoxIsAnswered) {
  auto answer = ClickMessageBox(L"Varnak test box", IDNO);
  int result = MessageBoxW(nullptr, L"继续吗?", L"Varnak test box", MB_YESNO);
  EXPECT_EQ(result, IDNO);
  EXPECT_EQ(answer.get(), L"继续吗?");
}

TEST(Platform, DeliverablesLoadByName) {
  for (const char* name : {"Orlimb.dll", "Seskel.dll", "lua52.dll"}) {
    HMODULE m = LoadLibraryA(name);
    EXPECT_NE(m, nullptr) << name << " error " << GetLastError();
  }
}

}  // namespace
}  // namespace varnak::test
