// The engine bridge, each case in a process of its own (the engine handle
// is cached per process): seskel_host.exe, Seskel.dll and lua52.dll copied
// into a fresh folder, with a fake engine beside them, a fake without GetMID,
// or none at all.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "scripting/tests/seskel_harness.h"
#include "testsupport/winhost.h"

namespace seskel::test {
namespace {

using Strings = std::vector<std::string>;
using varnak::test::TempFolder;

enum class Engine { kNone, kFake, kFakeWithoutGetMid, kReal };

// A host folder; Run() runs a script there and collects what it emitted.
class HostFolder {
 public:
  // subfolder: a folder inside the fresh one to hold the host, or "" for the folder itself
  explicit HostFolder(Engine engine, const std::string& subfolder = "") {
    const std::string bin = varnak::test::BinDir();
    path_ = subfolder.empty() ? dir_.path() : dir_.File(subfolder);
    if (!subfolder.empty()) ok_ = CreateDirectoryA(path_.c_str(), nullptr) != 0;
    for (const char* name : {"seskel_host.exe", "Seskel.dll", "lua52.dll"}) {
      ok_ = ok_ && CopyFileA((bin + "\\" + name).c_str(), File(name).c_str(), FALSE);
    }
    std::string engine_file;
    if (engine == Engine::kReal) {
      engine_file = bin + "\\Orlimb.dll";
    } else if (engine != Engine::kNone) {
      const char* variant = engine == Engine::kFake ? "full" : "without-getmid";
      engine_file = bin + "\\..\\fake-engine\\" + variant + "\\Orlimb.dll";
    }
    if (!engine_file.empty()) ok_ = ok_ && CopyFileA(engine_file.c_str(), File("Orlimb.dll").c_str(), FALSE);
  }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }
  bool Write(const std::string& name, const std::string& bytes) const {
    HANDLE f = CreateFileA(File(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(f);
    return ok;
  }
  bool ok() const { return ok_; }
  const std::string& path() const { return path_; }

  // Runs `body` as the script's main function. Lines the script wrote with
  // emit(...) come back in order; boxes shown meanwhile in boxes().
  Strings Run(const std::string& body) {
    const std::string script =
        "local out = io.open(GetRunTimeDir() .. '\\\\out.txt', 'wb')\n"
        "function emit(...)\n"
        "  local t = {}\n"
        "  for i = 1, select('#', ...) do\n"
        "    local v = select(i, ...)\n"
        "    t[#t + 1] = type(v) == 'string' and (\"'\" .. v .. \"'\") or tostring(v)\n"
        "  end\n"
        "  out:write(table.concat(t, '|'), '\\n') out:flush()\n"
        "end\n"
        "function main()\n" + body + "\nreturn true end\n";
    Write("s.lua", script);
    BoxRecorder recorder;
    exit_code_ = varnak::test::RunProcess("\"" + File("seskel_host.exe") + "\" \"" + File("s.lua") + "\"", 60000,
                                          path_);
    boxes_ = recorder.Stop();
    return Lines("out.txt");
  }
  Strings Lines(const char* file) const {
    std::string text;
    varnak::test::ReadFileBytes(File(file), &text);
    Strings lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  int exit_code() const { return exit_code_; }
  const Strings& boxes() const { return boxes_; }

 private:
  TempFolder dir_;
  std::string path_;
  bool ok_ = true;
  int exit_code_ = -1;
  Strings boxes_;
};

// The fake engine's stand-in digest: byte count and checksum in hex.
std::string FakeDigest(const std::string& bytes) {
  unsigned sum = 0;
  for (unsigned char c : bytes) sum = sum * 31 + c;
  char out[33];
  std::snprintf(out, sizeof out, "%016x%016x", static_cast<unsigned>(bytes.size()), sum);
  return out;
}

TEST(EngineBridge, WithoutAnEngineEveryCallReportsTheLoadFailure) {
  HostFolder host(Engine::kNone);
  ASSERT_TRUE(host.ok());
  Strings lines = host.Run(
      "emit(GetFileVer('x')) emit(GetFileVer('x')) emit(GetFileCompanyName('x')) emit(GetMid())\n"
      "emit(GetNextProcessChange(1, 'cb'))");
  EXPECT_EQ(host.exit_code(), 1);
  EXPECT_EQ(lines, (Strings{"nil", "nil", "false", "nil", "false"}));
  const std::string load = "Orlimb加载失败,错误代码:126";
  // the load is retried, and reported, at every call; a bad watcher
  // argument is refused before the engine is looked for
  EXPECT_EQ(host.boxes(), (Strings{load, load, load, load, "LUA脚本问题:GetNextProcessChange参数不正确!"}));
}

TEST(EngineBridge, StringFunctionsPushWhatTheEngineWrote) {
  HostFolder host(Engine::kFake);
  ASSERT_TRUE(host.ok());
  host.Write("exists.bin", "x");
  SetEnvironmentVariableA("VARNAK_CLOUD_HOST", "127.0.0.1:18080");
  Strings lines = host.Run(
      "emit(GetFileCompanyName('C:\\\\a.exe'), GetFileDescription('d'), GetFileSigCompany('s'))\n"
      "emit(GetProcessPath('a.exe'), GetProcessPathByPid(1234), GetProcessPathByPid('x'), "
      "GetProcessPathByPid(2^32 + 5))\n"
      "emit(GetFileVer('v'), GetMid())\n"
      "emit(GetStringMD5(''), GetStringMD5(string.rep('a', 5000)), GetStringMD5(12), GetStringMD5({}))\n"
      "emit(GetFileMD5(GetRunTimeDir() .. '\\\\exists.bin'), GetFileMD5(GetRunTimeDir() .. '\\\\none.bin'))\n"
      "emit(SendLogtoCloud('/tj.php?a=1'), SendLogtoCloud('.evil.example/x'))\n"
      // arguments the bridge cannot pass give the load-failure result, silently
      "emit(GetFileCompanyName(nil), GetFileCompanyName(string.rep('a', 260)), GetFileVer({}), GetFileMD5())\n"
      "emit(#GetFileCompanyName(string.rep('a', 259)))\n");
  SetEnvironmentVariableA("VARNAK_CLOUD_HOST", nullptr);
  EXPECT_EQ(host.exit_code(), 1);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "'公司:C:\\a.exe'|'描述'|' '");
  EXPECT_EQ(lines[1], "'C:\\fake\\a.exe'|'C:\\fake\\pid1234.exe'|''|'C:\\fake\\pid5.exe'");
  EXPECT_EQ(lines[2], "'1.2.3.4'|'0123456789abcdef0123456789abcdef'");
  // the whole text is hashed, however long
  EXPECT_EQ(lines[3], "'" + FakeDigest("") + "'|'" + FakeDigest(std::string(5000, 'a')) + "'|'" +
                          FakeDigest("12") + "'|nil");
  EXPECT_EQ(lines[4], "'ffffffffffffffffffffffffffffffff'|nil");
  EXPECT_EQ(lines[5], "true|true");
  EXPECT_EQ(lines[6], "false|false|nil|nil");
  EXPECT_EQ(lines[7], "259");  // passed on; the fake's output is cut at 259 bytes
  EXPECT_TRUE(host.boxes().empty());
  Strings log = host.Lines("fake_engine.log");
  auto logged = [&log](const std::string& line) {
    for (const std::string& l : log) {
      if (l == line) return true;
    }
    return false;
  };
  EXPECT_TRUE(logged("CheckSigAndHashA 0 s"));  // mode 0: no hash check
  EXPECT_TRUE(logged("SetLog http://127.0.0.1:18080/tj.php?a=1"));
  // a text that does not start the path cannot extend the host name
  EXPECT_TRUE(logged("SetLog http://127.0.0.1:18080/.evil.example/x"));
  EXPECT_TRUE(logged("GetProcessPathByPid 0"));
  // the description line goes to the debugger, not into a box
  Strings debug = host.Lines("debug.txt");
  ASSERT_FALSE(debug.empty());
  EXPECT_EQ(debug[0], "[GetFileDescription_lua] 获取描述成功!\r");
}

TEST(EngineBridge, ProcessWatcherCallsTheScriptPerEvent) {
  HostFolder host(Engine::kFake);
  ASSERT_TRUE(host.ok());
  Strings lines = host.Run(
      "events = {}\n"
      "function first(pid, path, parent, created)\n"
      "  events[#events + 1] = table.concat({pid, path, parent, tostring(created)}, ',')\n"
      "  return false\n"
      "end\n"
      "emit(GetNextProcessChange(true, 'first'), #events, events[1])\n"
      "calls = 0\n"
      "function broken() calls = calls + 1 error('broken') end\n"
      "emit(GetNextProcessChange(false, 'broken'), calls)\n"
      "function falsy() error(nil) end\n"
      "emit(GetNextProcessChange(false, 'falsy'))\n"
      "emit(GetNextProcessChange(1, 'first'), GetNextProcessChange(true))\n"
      // a strict _G raises inside the engine's callback: caught in the step
      "setmetatable(_G, {__index = function(t, k) error('strict: ' .. k) end})\n"
      "local r = GetNextProcessChange(true, 'nosuch') setmetatable(_G, nil) emit(r)\n");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[4], "false");  // every event reported, until the fake ran out
  // false at the first event stops the watch: the engine reports 1
  EXPECT_EQ(lines[0], "true|1|'1000,C:\\fake\\p0.exe,4,true'");
  // a failing callback keeps the watch going until the fake runs out of events
  EXPECT_EQ(lines[1], "false|5");
  EXPECT_EQ(lines[2], "true");
  EXPECT_EQ(lines[3], "false|false");
  const std::string bad = "LUA脚本问题:GetNextProcessChange参数不正确!";
  EXPECT_EQ(host.boxes(), (Strings{bad, bad}));
  EXPECT_EQ(host.Lines("fake_engine.log"),
            (Strings{"GetNextProcessChange 1", "GetNextProcessChange 0", "GetNextProcessChange 0",
                     "GetNextProcessChange 1"}));
}

TEST(EngineBridge, AMissingExportIsALoadFailure) {
  HostFolder host(Engine::kFakeWithoutGetMid);
  ASSERT_TRUE(host.ok());
  Strings lines = host.Run("emit(GetMid()) emit(GetFileVer('v'))");
  EXPECT_EQ(lines, (Strings{"nil", "'1.2.3.4'"}));
  EXPECT_EQ(host.boxes(), Strings{"Orlimb加载失败,错误代码:127"});
}

TEST(EngineBridge, WorksWithTheRealEngine) {
  HostFolder host(Engine::kReal);
  ASSERT_TRUE(host.ok());
  host.Write("abc.txt", "abc");
  Strings lines = host.Run(
      "emit(GetStringMD5(''), GetStringMD5('abc'))\n"
      "emit(GetFileMD5(GetRunTimeDir() .. '\\\\abc.txt'), GetFileMD5(GetRunTimeDir() .. '\\\\none.txt'))\n"
      "emit(GetFileSigCompany(GetRunTimeDir() .. '\\\\abc.txt'))\n"
      "local mid = GetMid() emit(mid == '' or (#mid == 32 and not mid:find('[^0-9a-f]')))\n"
      "emit(GetProcessPath('seskel_host.exe') == GetLaunchPath())\n"
      "emit(GetProcessPathByPid(0))\n");
  EXPECT_EQ(host.exit_code(), 1);
  EXPECT_EQ(lines, (Strings{"'d41d8cd98f00b204e9800998ecf8427e'|'900150983cd24fb0d6963f7d28e17f72'",
                            "'900150983cd24fb0d6963f7d28e17f72'|nil", "' '", "true", "true", "''"}));
  EXPECT_TRUE(host.boxes().empty());
}

TEST(EngineBridge, HostFolderWhoseNameHasABackslashTrailByte) {
  // GBK "乗" is 0x81 0x5C: a byte-wise search for '\\' would cut inside it
  const std::string folder = "乗表";
  HostFolder host(Engine::kFake, folder);
  ASSERT_TRUE(host.ok());
  Strings lines = host.Run("emit(GetRunTimeDir(), GetMid())");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "'" + host.path() + "'|'0123456789abcdef0123456789abcdef'");
  EXPECT_EQ(lines[0].substr(lines[0].size() - 40, 5), "\x81\x5C\xB1\xED'");
}

// --- DownloadCloudFile against the loopback HTTP peer ------------------------

// The peer's folder (a Linux path in SESKEL_PEERS_DIR, seen by Wine on Z:).
std::string PeerDir() {
  char linux_path[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableA("SESKEL_PEERS_DIR", linux_path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return "";
  std::string path = std::string("Z:") + linux_path + "/http";
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string ReadAll(const std::string& path) {
  std::string bytes;
  return varnak::test::ReadFileBytes(path, &bytes) ? bytes : "<missing>";
}

int RequestCount(const std::string& peer) {
  int count = 0;
  WIN32_FIND_DATAA entry;
  HANDLE h = FindFirstFileA((peer + "\\requests\\*.http").c_str(), &entry);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do ++count;
  while (FindNextFileA(h, &entry));
  FindClose(h);
  return count;
}

class Download : public ::testing::Test {
 protected:
  void SetUp() override {
    peer_ = PeerDir();
    std::string port = ReadAll(peer_ + "\\port");
    if (peer_.empty() || port == "<missing>") GTEST_SKIP() << "no HTTP peer (run through ctest)";
    SetEnvironmentVariableA("VARNAK_CLOUD_HOST", ("127.0.0.1:" + port).c_str());
    CreateDirectoryA((peer_ + "\\files\\seskel").c_str(), nullptr);
  }
  void TearDown() override { SetEnvironmentVariableA("VARNAK_CLOUD_HOST", nullptr); }
  void Serve(const std::string& name, const std::string& bytes) {
    std::string path = peer_ + "\\files\\seskel\\" + name;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
  }
  std::string peer_;
};

TEST_F(Download, SavesTheFileBesideTheHostAndReplacesAnOldOne) {
  HostFolder host(Engine::kNone);
  ASSERT_TRUE(host.ok());
  const std::string payload("MZ\x90\0\x03\0binary\r\n\xFF", 15);
  Serve("UpTemp.exe", payload);
  Serve("Upload.lua", "-- 更新脚本\nreturn 1\n");
  host.Write("UpTemp.exe", "old installer");
  CreateDirectoryA(host.File("LScript").c_str(), nullptr);
  Strings lines = host.Run(
      "emit(DownloadCloudFile('seskel/UpTemp.exe', 'UpTemp.exe'))\n"
      "emit(DownloadCloudFile('seskel/Upload.lua', 'LScript\\\\Upload.lua'))");
  EXPECT_EQ(lines, (Strings{"true", "true"}));
  EXPECT_EQ(ReadAll(host.File("UpTemp.exe")), payload);
  EXPECT_EQ(ReadAll(host.File("LScript\\Upload.lua")), "-- 更新脚本\nreturn 1\n");
  EXPECT_TRUE(host.boxes().empty());
  // a changed file on the service is fetched again, not served from a cache
  Serve("UpTemp.exe", "second version");
  lines = host.Run("emit(DownloadCloudFile('seskel/UpTemp.exe', 'UpTemp.exe'))");
  EXPECT_EQ(lines, Strings{"true"});
  EXPECT_EQ(ReadAll(host.File("UpTemp.exe")), "second version");
}

TEST_F(Download, AnErrorReplyKeepsTheOldFileAndLeavesNoTemporaryFile) {
  HostFolder host(Engine::kNone);
  ASSERT_TRUE(host.ok());
  host.Write("keep.txt", "old");
  Strings lines = host.Run("emit(DownloadCloudFile('seskel/missing.bin', 'keep.txt'))");
  EXPECT_EQ(lines, Strings{"false"});
  EXPECT_EQ(ReadAll(host.File("keep.txt")), "old");
  WIN32_FIND_DATAA entry;
  HANDLE h = FindFirstFileA(host.File("*.tmp").c_str(), &entry);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE) << entry.cFileName;
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

TEST_F(Download, NamesOutsideTheHostFolderAreRefusedBeforeAnyRequest) {
  HostFolder host(Engine::kNone);
  ASSERT_TRUE(host.ok());
  Serve("x.txt", "x");
  const int before = RequestCount(peer_);
  Strings lines = host.Run(
      "emit(DownloadCloudFile('seskel/x.txt', '..\\\\escaped.txt'), DownloadCloudFile('seskel/x.txt', 'a\\\\..\\\\..\\\\e.txt'))\n"
      "emit(DownloadCloudFile('seskel/x.txt', 'C:\\\\escaped.txt'), DownloadCloudFile('seskel/x.txt', '\\\\escaped.txt'))\n"
      "emit(DownloadCloudFile('seskel/x.txt'), DownloadCloudFile(nil, 'x.txt'), DownloadCloudFile('seskel/x.txt', ''))\n"
      "emit(DownloadCloudFile('seskel/x.txt', 'no\\\\such\\\\folder.txt'))");
  EXPECT_EQ(lines, (Strings{"false|false", "false|false", "false|false|false", "false"}));
  EXPECT_EQ(RequestCount(peer_), before);
  EXPECT_TRUE(host.boxes().empty());
}

TEST_F(Download, AnUnreachableServiceGivesFalse) {
  HostFolder host(Engine::kNone);
  ASSERT_TRUE(host.ok());
  SetEnvironmentVariableA("VARNAK_CLOUD_HOST", "127.0.0.1:1");
  Strings lines = host.Run("emit(DownloadCloudFile('seskel/x.txt', 'x.txt'))");
  EXPECT_EQ(lines, Strings{"false"});
  EXPECT_EQ(ReadAll(host.File("x.txt")), "<missing>");
}

}  // namespace
}  // namespace seskel::test
