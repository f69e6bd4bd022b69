// The public library: argument checks and their boxes, regular expressions,
// the question box, settings files, the host's path and command line.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <future>
#include <string>
#include <vector>

#include "scripting/tests/seskel_harness.h"
#include "testsupport/winhost.h"

namespace seskel::test {
namespace {

using Strings = std::vector<std::string>;
using varnak::test::TempFolder;

class PublicLib : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Seskel().register_public(state_.get()), 1); }
  ScriptState state_;
};

const char kRegexArgs[] = "Lua脚本问题:CheckRegx第一个或第二个参数不是字符串!";
const char kBadPattern[] = "Lua脚本问题:CheckRegx第二个参数不是有效的正则表达式!";
const char kBoxArgs[] = "Lua脚本问题:MessageBox遇到意外的参数或参数数目不对!";
const char kSleepArgs[] = "Lua脚本问题:Sleep遇到意外的参数或参数数目不对!";
const char kReadArgs[] = "lua脚本问题:ReadConfig参数异常!";
const char kWriteArgs[] = "lua脚本问题:WriteConf参数异常!";

struct Case {
  const char* code;
  const char* result;
  const char* box;  // null: no box
};

void RunCases(ScriptState& state, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(state.Run(c.code), c.result) << c.code;
    EXPECT_EQ(state.boxes(), c.box ? Strings{c.box} : Strings{}) << c.code;
  }
}

TEST_F(PublicLib, CheckRegx) {
  RunCases(state_, {
      {"return CheckRegx('Setup_ABC.exe', 'abc')", "true", nullptr},  // case-insensitive search
      {"return CheckRegx('x', '^y$')", "false", nullptr},
      {"return CheckRegx('abc', 'b')", "true", nullptr},
      {"return CheckRegx(5, '5')", "true", nullptr},  // numbers pass as strings
      {"return CheckRegx('进程管理', '程管')", "true", nullptr},  // GBK bytes match one by one
      {"return CheckRegx('abc')", "false", kRegexArgs},
      {"return CheckRegx({}, 'a')", "false", kRegexArgs},
      {"return CheckRegx('abc', '(')", "false", kBadPattern},
      {"return CheckRegx('abc', '[z-a]')", "false", kBadPattern},
      // the matcher recurses per character: longer texts are refused
      {"return CheckRegx(string.rep('x', 1023), '(x|y)*$')", "true", nullptr},
      {"return CheckRegx(string.rep('x', 1024), 'x')", "false", kRegexArgs},
      {"return CheckRegx('x', string.rep('x', 1024))", "false", kRegexArgs},
  });
}

TEST_F(PublicLib, SleepAndMessageBoxChecks) {
  RunCases(state_, {
      {"return Sleep(1.9)", "true", nullptr},
      {"return Sleep('10')", "true", nullptr},  // numeric strings pass
      {"return Sleep(-5)", "true", nullptr},    // waits 0, not for ever
      {"return Sleep(0/0)", "true", nullptr},
      {"return Sleep()", "false", kSleepArgs},
      {"return Sleep(1, 2)", "false", kSleepArgs},
      {"return Sleep('soon')", "false", kSleepArgs},
      {"return MessageBox('a')", "false", kBoxArgs},
      {"return MessageBox('a', 'b', 'c')", "false", kBoxArgs},
      {"return MessageBox('a', {})", "false", kBoxArgs},
      {"return MessageBox(string.rep('t', 260), 'b')", "false", kBoxArgs},
  });
}

TEST_F(PublicLib, MessageBoxReportsTheChosenButton) {
  for (int button : {IDOK, IDCANCEL}) {
    auto answer = varnak::test::ClickMessageBox(L"询问标题", button);
    EXPECT_EQ(state_.Run("return MessageBox('询问标题', '要继续吗?')"), button == IDOK ? "true" : "false");
    EXPECT_EQ(answer.get(), L"要继续吗?");
  }
}

TEST_F(PublicLib, ConfigFilesRoundTrip) {
  TempFolder dir;
  const std::string ini = LuaQuote(dir.File("conf.ini"));
  RunCases(state_, {
      {("return WriteConfig(" + ini + ", '设置', '自动清理', '真')").c_str(), "true", nullptr},
      {("return ReadConfig(" + ini + ", '设置', '自动清理')").c_str(), "'真'", nullptr},
      {("return ReadConfig(" + ini + ", '设置', 'none')").c_str(), "''", nullptr},
      {"return ReadConfig('Z:\\\\no\\\\such\\\\file.ini', 's', 'k')", "''", nullptr},
      {("return ReadConfig(" + ini + ", '设置')").c_str(), "''", kReadArgs},
      {"return ReadConfig(nil, 's', 'k')", "''", kReadArgs},
      // a missing value would delete the key: refused, the key stays
      {("return WriteConfig(" + ini + ", '设置', '自动清理')").c_str(), "''", kWriteArgs},
      {("return WriteConfig(" + ini + ", '设置', '自动清理', nil)").c_str(), "''", kWriteArgs},
      {("return ReadConfig(" + ini + ", '设置', '自动清理')").c_str(), "'真'", nullptr},
      {"return WriteConfig({}, 's', 'k', 'v')", "''", kWriteArgs},
      {("return WriteConfig(" + ini + ", 's', 'k', string.rep('v', 260))").c_str(), "''", kWriteArgs},
      {"return WriteConfig('Z:\\\\no\\\\such\\\\folder\\\\x.ini', 's', 'k', 'v')", "false", nullptr},
  });
}

TEST_F(PublicLib, HostLocation) {
  const std::string exe = varnak::test::BinDir();
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  EXPECT_EQ(state_.Run("return GetRunTimeDir()"), "'" + exe + "'");
  EXPECT_EQ(state_.Run("return GetLaunchPath()"), "'" + std::string(path) + "'");
}

TEST_F(PublicLib, LaunchCommandLine) {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  ASSERT_NE(args, nullptr);
  const std::string first = ToGbk(args[0]);
  const std::string last = ToGbk(args[count - 1]);
  LocalFree(args);
  const std::string n = std::to_string(count);
  RunCases(state_, {
      {"return GetLaunchCommandLine(0)", ("'" + first + "'").c_str(), nullptr},
      {"return GetLaunchCommandLine(0.9)", ("'" + first + "'").c_str(), nullptr},
      {"return GetLaunchCommandLine('x')", ("'" + first + "'").c_str(), nullptr},  // reads as 0
      {("return GetLaunchCommandLine(" + n + " - 1)").c_str(), ("'" + last + "'").c_str(), nullptr},
      {("return GetLaunchCommandLine(" + n + ")").c_str(), "nil", nullptr},
      {"return GetLaunchCommandLine(-1)", "nil", nullptr},
      {"return GetLaunchCommandLine(1e300)", "nil", nullptr},
      {"return GetLaunchCommandLine(0/0)", ("'" + first + "'").c_str(), nullptr},
  });
}

}  // namespace
}  // namespace seskel::test
