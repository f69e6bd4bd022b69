// The clean-up library on real files, folders, shortcuts and registry keys
// (under HKCU\Software\VarnakTest).
#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "common/win_handles.h"
#include "scripting/tests/seskel_harness.h"
#include "testsupport/winhost.h"

namespace seskel::test {
namespace {

using Strings = std::vector<std::string>;
using varnak::test::TempFolder;

class ClearLib : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Seskel().register_clear(state_.get(), 1), 1); }
  // runs code, expecting its result and the boxes it showed
  void Expect(const std::string& code, const std::string& result, const Strings& boxes = {}) {
    EXPECT_EQ(state_.Run(code), result) << code;
    EXPECT_EQ(state_.boxes(), boxes) << code;
  }
  std::string Q(const std::string& text) { return LuaQuote(text); }
  ScriptState state_;
  TempFolder dir_;
};

std::string PathMessage(const char* function) {
  return std::string("Lua脚本问题:") + function + "第一个参数不是字符串!";
}

TEST_F(ClearLib, DeleteAndMoveFiles) {
  dir_.Write("a.txt", "a");
  dir_.Write("taken.txt", "t");
  CreateDirectoryA(dir_.File("sub").c_str(), nullptr);
  Expect("return DeleteFile(" + Q(dir_.File("none.txt")) + ")", "true");
  Expect("return MoveFile(" + Q(dir_.File("a.txt")) + ", " + Q(dir_.File("b.txt")) + ")", "true");
  Expect("return PathFileExists(" + Q(dir_.File("a.txt")) + "), PathFileExists(" + Q(dir_.File("b.txt")) + ")",
         "false|true");
  // the move never replaces an existing file
  Expect("return MoveFile(" + Q(dir_.File("b.txt")) + ", " + Q(dir_.File("taken.txt")) + ")", "false");
  Expect("return DeleteFile(" + Q(dir_.File("b.txt")) + ")", "true");
  Expect("return PathFileExists(" + Q(dir_.File("b.txt")) + ")", "false");
  Expect("return DeleteFile(" + Q(dir_.File("sub")) + ")", "false");  // folders stay
  Expect("return DeleteFile({})", "false", {PathMessage("DeleteFile")});
  // a missing destination is refused, not copied from nothing
  Expect("return MoveFile(" + Q(dir_.File("taken.txt")) + ")", "false", {PathMessage("MoveFile")});
  Expect("return MoveFile(nil, 'x')", "false", {PathMessage("MoveFile")});
}

TEST_F(ClearLib, PathFunctions) {
  dir_.Write("f.txt", "x");
  const std::string file = Q(dir_.File("f.txt"));
  const std::string folder = Q(dir_.path());
  const std::string too_long = "string.rep('a', 260)";
  Expect("return PathFileExists(" + file + "), PathFileExists(" + folder + ")", "true|true");
  Expect("return DirectoryIsExists(" + folder + "), DirectoryIsExists(" + file + ")", "true|false");
  Expect("return PathFileExists({})", "0", {PathMessage("PathFileExists")});
  Expect("return DirectoryIsExists()", "0", {PathMessage("DirectoryIsExists")});
  Expect("return PathRemoveFileName('C:\\\\a\\\\b.txt'), PathRemoveFileName('C:\\\\')", "'C:\\a'|''");
  Expect("return GetPathFileName('C:\\\\a\\\\b.txt'), GetPathFileName('b')", "'b.txt'|'b'");
  Expect("return GetPathFileExtName('C:\\\\a\\\\b.tar.gz'), GetPathFileExtName('C:\\\\a\\\\b')", "'.gz'|''");
  Expect("return PathisFile('a.txt'), PathisFile('a\\\\b'), PathisFile('C:a')", "true|false|false");
  Expect("return PathRemoveFileName(" + too_long + ")", "''", {PathMessage("PathRemoveFileName")});
  Expect("return GetPathFileName({})", "''", {PathMessage("GetPathFileName")});
  Expect("return GetPathFileExtName(nil)", "''", {PathMessage("GetPathFileExtName")});
  Expect("return PathisFile(true)", "false", {PathMessage("PathisFile")});
}

TEST_F(ClearLib, ExpandEnvironmentStrings) {
  SetEnvironmentVariableA("VARNAK_SHORT", "短值");
  SetEnvironmentVariableA("VARNAK_LONG", std::string(300, 'x').c_str());
  Expect("return ExpandEnvironmentStrings('%VARNAK_SHORT%\\\\x')", "'短值\\x'");
  Expect("return ExpandEnvironmentStrings('%VARNAK_LONG%')", "''");  // would not fit in 259 bytes
  Expect("return ExpandEnvironmentStrings({})", "''", {PathMessage("ExpandEnvironmentStrings")});
}

TEST_F(ClearLib, FileSizesInKib) {
  dir_.Write("one_and_a_half.bin", std::string(1536, 'x'));
  {
    // a sparse 5 GiB file
    varnak::unique_file big(CreateFileA(dir_.File("big.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(big);
    LARGE_INTEGER size;
    size.QuadPart = 5LL << 30;
    ASSERT_TRUE(SetFilePointerEx(big.get(), size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(big.get()));
  }
  Expect("return GetFileSize(" + Q(dir_.File("one_and_a_half.bin")) + ")", "1.5");
  Expect("return GetFileSize(" + Q(dir_.File("big.bin")) + ") == 5 * 2^20", "true");
  Expect("return GetFileSize(" + Q(dir_.File("none.bin")) + ")", "0");
  Expect("return GetFileSize({})", "0", {PathMessage("GetFileSize")});
}

TEST_F(ClearLib, FindDirectoryFileWalksPreOrder) {
  dir_.Write("a", "");
  dir_.Write("b", "");
  dir_.Write(".hidden", "");
  CreateDirectoryA(dir_.File("sub").c_str(), nullptr);
  CreateDirectoryA(dir_.File(".git").c_str(), nullptr);
  dir_.Write("sub\\c", "");
  dir_.Write(".git\\d", "");
  const std::string root = Q(dir_.path());
  const std::string prefix = dir_.path() + "\\";
  // every visited path, relative to the root; sorted, as the listing order is the platform's
  const std::string collect =
      "seen = {} function visit(p) seen[#seen + 1] = p:sub(" + std::to_string(prefix.size() + 1) +
      ") return true end\n"
      "local r = FindDirectoryFile(" + root + ", 'visit') table.sort(seen) return r, table.concat(seen, ',')";
  Expect(collect, "true|'a,b,sub,sub\\c'");
  // the folder comes before its contents
  Expect("order = {} function visit(p) order[p] = #order order[#order + 1] = p return true end\n"
         "FindDirectoryFile(" + root + ", 'visit') return order[ " + Q(prefix + "sub") + " ] < order[ " +
             Q(prefix + "sub\\c") + " ]",
         "true");
  // false from the callback stops the walk at once
  Expect("calls = 0 function stop(p) calls = calls + 1 return false end\n"
         "return FindDirectoryFile(" + root + ", 'stop'), calls",
         "false|1");
  // a failing callback counts as true and the walk goes on ...
  Expect("calls = 0 function broken(p) calls = calls + 1 error('broken') end\n"
         "return FindDirectoryFile(" + root + ", 'broken'), calls",
         "true|4");
  // ... unless its error value is itself false
  Expect("calls = 0 function falsy(p) calls = calls + 1 error(false) end\n"
         "return FindDirectoryFile(" + root + ", 'falsy'), calls",
         "false|1");
  // a strict _G raises while the callback is fetched: that stays inside the
  // per-entry protected step and counts as true, like any failing callback
  Expect("setmetatable(_G, {__index = function(t, k) error('strict: ' .. k) end})\n"
         "local r = FindDirectoryFile(" + root + ", 'nosuch') setmetatable(_G, nil) return r",
         "true");
  // the callback may walk again from inside the walk
  Expect("inner = 0 function count(p) inner = inner + 1 return true end\n"
         "function outer(p) if p:sub(-3) == 'sub' then FindDirectoryFile(p, 'count') end return true end\n"
         "return FindDirectoryFile(" + root + ", 'outer'), inner",
         "true|1");
  Expect("calls = 0 function visit(p) calls = calls + 1 return true end\n"
         "return FindDirectoryFile(" + Q(dir_.File("none")) + ", 'visit'), calls",
         "true|0");
  // at a drive root the first entry is visited too, with one separator
  Expect("seen = nil function stop(p) seen = p return false end\n"
         "return FindDirectoryFile('C:\\\\', 'stop'), seen:find('^C:\\\\[^\\\\]+$') ~= nil",
         "false|true");
  const std::string message = "Lua脚本问题:FindDirectoryFile第一个或第二个参数不是字符串!";
  Expect("return FindDirectoryFile(" + root + ")", "''", {message});
  Expect("return FindDirectoryFile({}, 'visit')", "''", {message});
}

TEST_F(ClearLib, FindDirectoryFileSkipsPathsOver259Bytes) {
  // three levels of 100-character names: the deepest path passes 259 bytes
  const std::string name(100, 'n');
  std::wstring wide = L"\\\\?\\";
  for (char c : dir_.path()) wide += static_cast<wchar_t>(c);
  std::vector<std::string> levels;
  std::string path = dir_.path();
  for (int i = 0; i < 3; ++i) {
    wide += L"\\" + std::wstring(name.begin(), name.end());
    path += "\\" + name;
    ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr)) << GetLastError();
    levels.push_back(path);
  }
  ASSERT_LT(levels[1].size(), 260u);
  ASSERT_GT(levels[2].size(), 259u);
  Expect("calls = 0 function visit(p) calls = calls + 1 return true end\n"
         "return FindDirectoryFile(" + Q(dir_.path()) + ", 'visit'), calls",
         "true|2");
  RemoveDirectoryW(wide.c_str());
}

TEST_F(ClearLib, ShortcutTargets) {
  const std::string target = dir_.File("目标.exe");
  dir_.Write("目标.exe", "MZ");
  const std::string link = dir_.File("快捷方式.lnk");
  {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)) || true);
    varnak::ComPtr<IShellLinkW> shell_link;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                           reinterpret_cast<void**>(shell_link.put()))));
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, wide, MAX_PATH);
    shell_link->SetPath(wide);
    varnak::ComPtr<IPersistFile> file;
    ASSERT_TRUE(SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))));
    MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
    ASSERT_TRUE(SUCCEEDED(file->Save(wide, TRUE)));
  }
  Expect("return GetLnkFilePath(" + Q(link) + ")", "'" + target + "'");
  Expect("return GetLnkFilePath(" + Q(dir_.File("none.lnk")) + ")", "''");
  dir_.Write("broken.lnk", "not a shortcut");
  Expect("return GetLnkFilePath(" + Q(dir_.File("broken.lnk")) + ")", "''");
  Expect("return GetLnkFilePath({})", "''", {PathMessage("GetLnkFilePath")});
}

// A test-owned key under HKCU\Software\VarnakTest, deleted afterwards.
class RegistryKey {
 public:
  explicit RegistryKey(const std::string& name) : path_("Software\\VarnakTest\\" + name) {
    RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(), nullptr);
  }
  ~RegistryKey() {
    key_.reset();
    SHDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
  }
  void Set(const char* name, DWORD type, const std::string& data) {
    RegSetValueExA(key_.get(), name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size()));
  }
  bool HasValue(const char* name) {
    return RegQueryValueExA(key_.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  varnak::unique_hkey key_;
};

TEST_F(ClearLib, ReadKeyString) {
  RegistryKey key("ReadKeyString");
  key.Set("路径", REG_SZ, std::string("C:\\程序\\a.exe") + '\0');
  key.Set("", REG_SZ, std::string("默认") + '\0');
  key.Set("max", REG_SZ, std::string(259, 'm') + '\0');
  key.Set("full", REG_BINARY, std::string(260, 'A'));  // no terminator within 260 bytes
  key.Set("dword", REG_DWORD, std::string("\x41\x42\x00\x00", 4));
  const std::string sub = Q(key.path());
  const char kArgs[] = "Lua脚本问题:ReadKeyString遇到意外的参数";
  Expect("return ReadKeyString('HKCU', " + sub + ", '路径')", "'C:\\程序\\a.exe'");
  Expect("return ReadKeyString('hkey_current_user', " + sub + ", '')", "'默认'");
  Expect("return #ReadKeyString('HKCU', " + sub + ", 'max')", "259");
  Expect("return ReadKeyString('HKCU', " + sub + ", 'full')", "''");
  Expect("return ReadKeyString('HKCU', " + sub + ", 'dword')", "'AB'");  // raw bytes
  Expect("return ReadKeyString('HKCU', " + sub + ", 'none')", "''");
  Expect("return ReadKeyString('HKCU', " + sub + ")", "''", {kArgs});
  Expect("return ReadKeyString('HKCU', " + sub + ", 'a', 'b')", "''", {kArgs});
  Expect("return ReadKeyString('HKCU', {}, 'a')", "''", {kArgs});
  Expect("return ReadKeyString('HKU', " + sub + ", '路径')", "''", {"格式化ReadKeyString第一个参数失败,传入为:HKU"});
}

TEST_F(ClearLib, RegDeleteKey) {
  RegistryKey key("RegDeleteKey");
  key.Set("keep", REG_SZ, std::string("1") + '\0');
  key.Set("drop", REG_SZ, std::string("1") + '\0');
  RegistryKey child("RegDeleteKey\\child");
  RegistryKey grandchild("RegDeleteKey\\child\\grandchild");
  const std::string sub = Q(key.path());
  const char kCount[] = "Lua脚本问题:RegDeleteKey遇到意外的参数个数";
  const char kArgs[] = "Lua脚本问题:RegDeleteKey遇到意外的参数";
  // three arguments delete only the named value
  Expect("return RegDeleteKey('hkcu', " + sub + ", 'drop')", "1");
  EXPECT_FALSE(key.HasValue("drop"));
  EXPECT_TRUE(key.HasValue("keep"));
  Expect("return RegDeleteKey('HKCU', " + sub + ", 'drop')", "0");
  // a key with sub-keys is refused by the platform
  Expect("return RegDeleteKey('HKCU', " + Q(child.path()) + ")", "0");
  Expect("return RegDeleteKey('HKCU', " + Q(grandchild.path()) + ")", "1");
  Expect("return RegDeleteKey('HKCU', " + Q(child.path()) + ")", "1");
  Expect("return RegDeleteKey('HKCU')", "0", {kCount});
  Expect("return RegDeleteKey('HKCU', " + sub + ", 'a', 'b')", "0", {kCount});
  Expect("return RegDeleteKey('HKCU', {})", "0", {kArgs});
  Expect("return RegDeleteKey('HKCU', " + sub + ", {})", "0", {kArgs});
  Expect("return RegDeleteKey('HKU', " + sub + ")", "0", {"格式化RegDeleteKey第一个参数失败,传入为:HKU"});
  EXPECT_TRUE(key.HasValue("keep"));
}

TEST_F(ClearLib, SpecialFolders) {
  const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  // seeded, so the test does not depend on what the prefix holds
  varnak::unique_hkey user, machine;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, user.put(),
                            nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kShellFolders, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            machine.put(), nullptr),
            ERROR_SUCCESS);
  const std::string video = "C:\\users\\测试\\Videos";
  RegSetValueExA(user.get(), "My Video", 0, REG_SZ, reinterpret_cast<const BYTE*>(video.c_str()),
                 static_cast<DWORD>(video.size() + 1));
  const std::string templates = "C:\\ProgramData\\Templates";
  RegSetValueExA(machine.get(), "Common Templates", 0, REG_SZ, reinterpret_cast<const BYTE*>(templates.c_str()),
                 static_cast<DWORD>(templates.size() + 1));
  char desktop[MAX_PATH] = {};
  DWORD size = sizeof desktop - 1;
  RegQueryValueExA(user.get(), "Desktop", nullptr, nullptr, reinterpret_cast<BYTE*>(desktop), &size);
  ASSERT_NE(desktop[0], 0);
  Expect("return GetSpecialFolder('Desktop'), GetSpecialFolder('desktop'), GetSpecialFolder('桌面')",
         "'" + std::string(desktop) + "'|'" + desktop + "'|'" + desktop + "'");
  Expect("return GetSpecialFolder('我的视频'), GetSpecialFolder('VIDEO')", "'" + video + "'|'" + video + "'");
  Expect("return GetSpecialFolder('Common_Templates')", "'" + templates + "'");
  Expect("return GetSpecialFolder('Downloads')", "''");  // unknown: no message
  Expect("return GetSpecialFolder({})", "''", {PathMessage("GetSpecialFolder")});
}

}  // namespace
}  // namespace seskel::test
