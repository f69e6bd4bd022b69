// The export surface: registration into the caller's state and the three
// runners, with their "Seskel提示" reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scripting/tests/seskel_harness.h"
#include "testsupport/winhost.h"

namespace seskel::test {
namespace {

using Strings = std::vector<std::string>;
using varnak::test::TempFolder;

TEST(SeskelExports, AllSevenBindByName) {
  const SeskelExports& s = Seskel();
  EXPECT_NE(s.register_public, nullptr);
  EXPECT_NE(s.register_clear, nullptr);
  EXPECT_NE(s.register_popup_block, nullptr);
  EXPECT_NE(s.register_engine_bridge, nullptr);
  EXPECT_NE(s.start_lua_script, nullptr);
  EXPECT_NE(s.start_clear_lua_script, nullptr);
  EXPECT_NE(s.start_popup_block_lua_script, nullptr);
}

TEST(Registration, InstallsEachLibraryIntoTheCallersState) {
  ScriptState state;
  lua_State* L = state.get();
  EXPECT_EQ(Seskel().register_public(L), 1);
  EXPECT_EQ(Seskel().register_clear(L, 0), 1);
  EXPECT_EQ(Seskel().register_popup_block(L), 1);
  EXPECT_EQ(Seskel().register_engine_bridge(L), 1);
  const char* names[] = {
      "CheckRegx", "MessageBox", "Sleep", "GetRunTimeDir", "ReadConfig", "WriteConfig", "GetLaunchPath",
      "GetLaunchCommandLine", "PathFileExists", "DirectoryIsExists", "PathRemoveFileName",
      "GetPathFileName", "ExpandEnvironmentStrings", "PathisFile", "GetPathFileExtName", "ReadKeyString",
      "FindDirectoryFile", "GetLnkFilePath", "GetSpecialFolder", "GetFileSize", "EnumWindow",
      "GetWindowText", "GetWindowProcessAndThreadID", "KillWindowProcess", "KillWindowThread",
      "HideWindow", "CloseWindow", "GetWindowRect", "GetSystemHeightAndWidth", "GetWindowClaseName",
      "GetNextProcessChange", "GetFileCompanyName", "GetFileDescription", "GetFileSigCompany",
      "GetProcessPath", "GetProcessPathByPid", "SendLogtoCloud", "GetMid", "GetFileVer", "GetStringMD5",
      "GetFileMD5", "DownloadCloudFile"};
  for (const char* name : names) {
    EXPECT_EQ(state.Run(std::string("return type(") + name + ")"), "'function'") << name;
  }
  // flag 0 leaves out the destructive functions, and calling them is Lua's own error
  EXPECT_EQ(state.Run("return DeleteFile, MoveFile, RegDeleteKey"), "nil|nil|nil");
  EXPECT_NE(state.Run("DeleteFile('x')").find("attempt to call global 'DeleteFile'"), std::string::npos);
}

TEST(Registration, DestructiveFunctionsStayAfterALaterFlagZero) {
  ScriptState state;
  EXPECT_EQ(Seskel().register_clear(state.get(), 1), 1);
  EXPECT_EQ(Seskel().register_clear(state.get(), 0), 1);
  EXPECT_EQ(state.Run("return type(DeleteFile), type(MoveFile), type(RegDeleteKey)"),
            "'function'|'function'|'function'");
}

TEST(Registration, AStateThatRefusesGlobalsGetsZeroNotAnError) {
  ScriptState state;
  state.Run("setmetatable(_G, {__newindex = function() error('read-only') end})");
  EXPECT_EQ(Seskel().register_public(state.get()), 0);
  EXPECT_EQ(Seskel().register_clear(state.get(), 1), 0);
  EXPECT_EQ(state.Run("return 1"), "1");  // the state is still usable
}

TEST(Registration, StatesOfAnotherLuaCopyAreRefused) {
  HMODULE other = LoadLibraryA((varnak::test::BinDir() + "\\..\\second-lua\\second_lua.dll").c_str());
  ASSERT_NE(other, nullptr) << GetLastError();
  using NewFn = lua_State* (*)();
  using TypeFn = int (*)(lua_State*, const char*);
  using CloseFn = void (*)(lua_State*);
  auto new_state = reinterpret_cast<NewFn>(reinterpret_cast<void*>(GetProcAddress(other, "NewForeignState")));
  auto global_type = reinterpret_cast<TypeFn>(reinterpret_cast<void*>(GetProcAddress(other, "ForeignGlobalType")));
  auto close_state = reinterpret_cast<CloseFn>(reinterpret_cast<void*>(GetProcAddress(other, "CloseForeignState")));
  ASSERT_TRUE(new_state && global_type && close_state);
  lua_State* foreign = new_state();
  ASSERT_NE(foreign, nullptr);
  // tables made by one copy and changed by the other would corrupt the heap
  EXPECT_EQ(Seskel().register_public(foreign), 0);
  EXPECT_EQ(Seskel().register_clear(foreign, 1), 0);
  EXPECT_EQ(Seskel().register_popup_block(foreign), 0);
  EXPECT_EQ(Seskel().register_engine_bridge(foreign), 0);
  EXPECT_EQ(global_type(foreign, "CheckRegx"), LUA_TNIL);
  EXPECT_EQ(global_type(foreign, "DeleteFile"), LUA_TNIL);
  close_state(foreign);
  EXPECT_EQ(Seskel().register_public(nullptr), 0);
}

// Writes a script into a fresh folder and runs it with each runner.
struct Runners {
  TempFolder dir;
  std::string Write(const std::string& code) {
    dir.Write("s.lua", code);
    return dir.File("s.lua");
  }
  // the result, and the boxes the runner showed
  int Run(StartLuaScriptFn runner, const std::string& path, const char* entry, Strings* boxes) {
    BoxRecorder recorder;
    int result = runner(path.c_str(), entry);
    *boxes = recorder.Stop();
    return result;
  }
};

TEST(Runners, EntryResultFollowsLuasTruth) {
  struct Case {
    const char* body;
    int result;
  } cases[] = {
      {"", 0}, {"return nil", 0}, {"return false", 0}, {"return true", 1},
      {"return 0", 1}, {"return ''", 1}, {"return false, true", 0}, {"return {}", 1},
  };
  Runners r;
  for (const Case& c : cases) {
    std::string path = r.Write(std::string("function main() ") + c.body + " end");
    Strings boxes;
    EXPECT_EQ(r.Run(Seskel().start_lua_script, path, nullptr, &boxes), c.result) << c.body;
    EXPECT_TRUE(boxes.empty()) << c.body;
  }
}

TEST(Runners, EntryNameDefaultsToMain) {
  Runners r;
  std::string path = r.Write("function main() return true end function other() return false end");
  Strings boxes;
  EXPECT_EQ(r.Run(Seskel().start_clear_lua_script, path, nullptr, &boxes), 1);
  EXPECT_EQ(r.Run(Seskel().start_clear_lua_script, path, "", &boxes), 1);
  EXPECT_EQ(r.Run(Seskel().start_clear_lua_script, path, "other", &boxes), 0);
  EXPECT_EQ(r.Run(Seskel().start_popup_block_lua_script, path, "main", &boxes), 1);
}

TEST(Runners, OnlyTheFullRunnerReportsFailures) {
  Runners r;
  const std::string missing = r.dir.File("none.lua");
  struct Case {
    const char* code;  // null: the file does not exist
    std::string box_start;
  } cases[] = {
      {"x = 1", "Lua脚本问题:"},  // no entry function
      {nullptr, "Lua脚本问题:cannot open " + missing},
      {"function main(", "Lua脚本问题:"},
      {"error('chunk broke', 0)", "Lua脚本问题:chunk broke"},
      {"function main() error('entry broke', 0) end", "Lua脚本问题:entry broke"},
      {"function main() error({}) end", "Lua脚本问题:(error object is a table value)"},
      {"function main() error() end", "Lua脚本问题:(error object is a nil value)"},
      {"function main() error(false) end", "Lua脚本问题:(error object is a boolean value)"},
      // a strict _G raises while the entry is fetched: still only a report
      {"setmetatable(_G, {__index = function(t, k) error('strict: ' .. k, 0) end})",
       "Lua脚本问题:strict: main"},
  };
  for (const Case& c : cases) {
    const std::string path = c.code ? r.Write(c.code) : missing;
    const std::string what = c.code ? c.code : "missing file";
    Strings boxes;
    EXPECT_EQ(r.Run(Seskel().start_lua_script, path, nullptr, &boxes), 0) << what;
    ASSERT_EQ(boxes.size(), 1u) << what;
    EXPECT_EQ(boxes[0].rfind(c.box_start, 0), 0u) << what << ": " << boxes[0];
    EXPECT_EQ(r.Run(Seskel().start_clear_lua_script, path, nullptr, &boxes), 0) << what;
    EXPECT_TRUE(boxes.empty()) << what;
    EXPECT_EQ(r.Run(Seskel().start_popup_block_lua_script, path, nullptr, &boxes), 0) << what;
    EXPECT_TRUE(boxes.empty()) << what;
  }
}

TEST(Runners, NullPathIsALoadFailureNotStandardInput) {
  Strings boxes;
  BoxRecorder recorder;
  EXPECT_EQ(Seskel().start_lua_script(nullptr, nullptr), 0);
  boxes = recorder.Stop();
  EXPECT_EQ(boxes, Strings{"Lua脚本问题:cannot open (null)"});
  EXPECT_EQ(Seskel().start_clear_lua_script(nullptr, "main"), 0);
  EXPECT_EQ(Seskel().start_popup_block_lua_script("", nullptr), 0);
}

TEST(Runners, EachRunnerInstallsItsOwnLibraries) {
  Runners r;
  std::string path = r.Write(
      "function probe() return (PathFileExists and 'c' or '-') .. (EnumWindow and 'p' or '-') .. "
      "(GetMid and 'e' or '-') .. (CheckRegx and 'u' or '-') .. (DeleteFile and 'd' or '-') end\n"
      "function full() return probe() == 'cpeu-' end\n"
      "function clear() return probe() == 'c--u-' end\n"
      "function popup() return probe() == '-p-u-' end\n");
  Strings boxes;
  EXPECT_EQ(r.Run(Seskel().start_lua_script, path, "full", &boxes), 1);
  EXPECT_EQ(r.Run(Seskel().start_clear_lua_script, path, "clear", &boxes), 1);
  EXPECT_EQ(r.Run(Seskel().start_popup_block_lua_script, path, "popup", &boxes), 1);
}

TEST(MessageRoutine, TextsOverTheLimitAreReplaced) {
  // "Lua脚本问题:" is 12 GBK bytes; the limit is 1,055 characters
  Runners r;
  Strings boxes;
  std::string path = r.Write("function main() error(string.rep('x', 1043), 0) end");
  r.Run(Seskel().start_lua_script, path, nullptr, &boxes);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Lua脚本问题:" + std::string(1043, 'x'));
  path = r.Write("function main() error(string.rep('x', 1044), 0) end");
  r.Run(Seskel().start_lua_script, path, nullptr, &boxes);
  EXPECT_EQ(boxes, Strings{"DbgPrintA: StringCchVPrintfA ret FAILED"});
}

TEST(MessageRoutine, ScriptTextIsNeverAFormat) {
  Runners r;
  Strings boxes;
  std::string path = r.Write("function main() error('%s%s%n%d', 0) end");
  r.Run(Seskel().start_lua_script, path, nullptr, &boxes);
  EXPECT_EQ(boxes, Strings{"Lua脚本问题:%s%s%n%d"});
}

}  // namespace
}  // namespace seskel::test
