// The engine frame through the real DLL: log switch and writers, SetLog
// against the loopback HTTP peer, thread helpers and the version queries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "engine/tests/engine_test_util.h"

namespace varnak::test {
namespace {

// Runs orlimb_probe.exe from a folder with the given Conf.ini text ("" for
// none) and returns its output file.
// `exe` names the probe's copy, so that a per-program Wine setting can apply.
std::string RunProbe(const std::string& conf, const std::string& command, int* exit_code = nullptr,
                     const std::string& exe = "orlimb_probe.exe") {
  TempFolder folder;
  folder.Copy(BuildBin() + "\\orlimb_probe.exe", exe);
  folder.Copy(BuildBin() + "\\Orlimb.dll");
  if (!conf.empty()) folder.Write("Conf.ini", conf);
  int code = RunProcess("\"" + folder.File(exe) + "\" \"" + folder.File("out.txt") + "\" " + command);
  if (exit_code) *exit_code = code;
  std::string out;
  ReadFileBytes(folder.File("out.txt"), &out);
  return out;
}

TEST(EngineFrame, LogSwitchComesFromTheHostsSettingsFile) {
  const struct {
    const char* conf;
    bool on;
  } cases[] = {
      {"", false},
      {"[DeBug]\r\nDeBug=TRUE\r\n", true},
      {"[DeBug]\r\nDeBug=true\r\n", true},
      {"[DeBug]\r\nDeBug=false\r\n", false},
      {"[DeBug]\r\nDeBug=1\r\n", false},
      {"[Other]\r\nDeBug=TRUE\r\n", false},
  };
  for (const auto& c : cases) {
    std::string out = RunProbe(c.conf, "log");
    if (c.on) {
      EXPECT_NE(out.find("result=1\n"), std::string::npos) << c.conf;
      EXPECT_NE(out.find("log=load now!\n"), std::string::npos) << c.conf << out;
      EXPECT_NE(out.find("log=probe 7\n"), std::string::npos) << c.conf << out;
    } else {
      EXPECT_EQ(out, "result=0\n") << c.conf;  // nothing written, DbgPrintA returns 0
    }
  }
}

TEST(EngineFrame, DbgPrintALengthBoundaryAndNullFormat) {
  auto dbg = ORLIMB(DbgPrintA);
  ASSERT_NE(dbg, nullptr);
  DebugCapture capture;
  const std::string fits(1055, 'a'), too_long(1056, 'b');
  dbg("%s", fits.c_str());
  dbg("%s", too_long.c_str());
  dbg(nullptr);
  dbg("x=%d y=%s", 42, "进程");
  auto lines = capture.Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], fits);
  EXPECT_EQ(lines[1], "DbgPrintA: StringCchVPrintfA ret FAILED");
  EXPECT_EQ(lines[2], "DbgPrintA: StringCchVPrintfA ret FAILED");
  EXPECT_EQ(lines[3], "x=42 y=进程");  // no line end is added
}

class HttpPeer {
 public:
  HttpPeer() {
    const char* dir = getenv("VARNAK_ENGINE_PEERS_DIR");
    if (!dir) return;
    dir_ = WinePath(dir) + "\\http";
    std::string port;
    if (ReadFileBytes(dir_ + "\\port", &port)) port_ = atoi(port.c_str());
    CreateDirectoryA((dir_ + "\\files").c_str(), nullptr);
  }
  bool ok() const { return port_ > 0; }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  void Serve(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ + "\\files\\" + name, std::ios::binary) << bytes;
  }
  // The recorded requests whose request line contains `marker`.
  std::vector<std::string> Requests(const std::string& marker) const {
    std::vector<std::string> found;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir_ + "\\requests\\*.http").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return found;
    do {
      std::string text;
      ReadFileBytes(dir_ + "\\requests\\" + fd.cFileName, &text);
      if (text.substr(0, text.find("\r\n")).find(marker) != std::string::npos) found.push_back(text);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return found;
  }

 private:
  std::string dir_;
  int port_ = 0;
};

TEST(EngineFrame, SetLogSendsOneUncachedGetInTheBackground) {
  HttpPeer peer;
  ASSERT_TRUE(peer.ok()) << "the loopback HTTP peer is not running";
  auto set_log = ORLIMB(SetLog);
  const std::string marker = "stat" + std::to_string(GetCurrentProcessId());
  peer.Serve(marker + ".php", "reply-ok");
  DebugCapture capture;
  const std::string url = peer.Url("/" + marker + ".php?mid=abc&ver=1.2.3.4");
  EXPECT_EQ(set_log(url.c_str()), 1);
  ASSERT_TRUE(WaitUntil([&] { return capture.Contains("Me_SetLogRet:reply-ok"); }, 10000));
  EXPECT_TRUE(capture.Contains("SetLogSend:" + url));
  EXPECT_TRUE(capture.Contains("Me_SetLogSend:" + url));
  auto requests = peer.Requests(marker);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")), "GET /" + marker + ".php?mid=abc&ver=1.2.3.4 HTTP/1.1");
  EXPECT_NE(requests[0].find("User-Agent: zuduradu_tongji\r\n"), std::string::npos) << requests[0];
  // a second identical request reaches the peer again (nothing from a cache)
  EXPECT_EQ(set_log(url.c_str()), 1);
  EXPECT_TRUE(WaitUntil([&] { return peer.Requests(marker).size() == 2; }, 10000));
}

TEST(EngineFrame, SetLogFullReplyEmptyReplyAndMissingPage) {
  HttpPeer peer;
  ASSERT_TRUE(peer.ok());
  auto set_log = ORLIMB(SetLog);
  const std::string tag = std::to_string(GetCurrentProcessId());
  peer.Serve("full" + tag, std::string(1000, 'r'));
  peer.Serve("huge" + tag, std::string(3000, 'h'));
  peer.Serve("empty" + tag, "");
  DebugCapture capture;
  EXPECT_EQ(set_log(peer.Url("/full" + tag).c_str()), 1);
  EXPECT_TRUE(WaitUntil([&] { return capture.Contains("Me_SetLogRet:" + std::string(1000, 'r')); }, 10000));
  // a reply longer than a log line: one read, and the fixed failure line
  capture.Clear();
  EXPECT_EQ(set_log(peer.Url("/huge" + tag).c_str()), 1);
  EXPECT_TRUE(WaitUntil([&] { return capture.Contains("DbgPrintA: StringCchVPrintfA ret FAILED"); }, 10000));
  EXPECT_EQ(set_log(peer.Url("/empty" + tag).c_str()), 1);
  EXPECT_TRUE(WaitUntil([&] { return capture.Contains("Me_SetLog:CloudRetStr Is NULL"); }, 10000));
}

TEST(EngineFrame, SetLogEmptyNullAndOverlongUrls) {
  HttpPeer peer;
  ASSERT_TRUE(peer.ok());
  auto set_log = ORLIMB(SetLog);
  DebugCapture capture;
  EXPECT_EQ(set_log(""), 1);
  EXPECT_TRUE(WaitUntil([&] { return capture.Contains("Me_SetLog:url is null"); }, 5000));
  capture.Clear();
  EXPECT_EQ(set_log(nullptr), 1);
  EXPECT_TRUE(WaitUntil([&] { return capture.Contains("Me_SetLog:url is null"); }, 5000));
  // 1,023 bytes are sent; 1,024 are refused without a thread
  const std::string marker = "long" + std::to_string(GetCurrentProcessId());
  std::string base = peer.Url("/" + marker + "?q=");
  std::string ok_url = base + std::string(1023 - base.size(), 'k');
  std::string long_url = base + std::string(1024 - base.size(), 'l');
  capture.Clear();
  EXPECT_EQ(set_log(long_url.c_str()), 0);
  EXPECT_TRUE(capture.Contains("SetLogSend:" + long_url));
  EXPECT_EQ(set_log(ok_url.c_str()), 1);
  ASSERT_TRUE(WaitUntil([&] { return peer.Requests(marker).size() == 1; }, 10000));
  Sleep(300);
  auto requests = peer.Requests(marker);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].find("kkk"), std::string::npos);
  EXPECT_FALSE(capture.Contains("Me_SetLogSend:" + long_url));
}

unsigned ORLIMB_CALL ReturnParameter(void* p) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p)); }
unsigned ORLIMB_CALL ExitEarly(void*) {
  ORLIMB(SafeExitThread)();
  return 77;  // never reached
}
unsigned ORLIMB_CALL SleepLong(void*) {
  Sleep(60000);
  return 5;
}

TEST(EngineFrame, ThreadHelpers) {
  auto create = ORLIMB(Me_CreateThread);
  auto terminate = ORLIMB(SafeTerminateThread);
  HANDLE h = nullptr;
  EXPECT_EQ(create(nullptr, nullptr, &h), 0);
  EXPECT_EQ(h, nullptr);

  ASSERT_EQ(create(&ReturnParameter, reinterpret_cast<void*>(uintptr_t(41)), &h), 1);
  ASSERT_EQ(WaitForSingleObject(h, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(h, &code);
  EXPECT_EQ(code, 41u);
  CloseHandle(h);

  ASSERT_EQ(create(&ExitEarly, nullptr, &h), 1);
  ASSERT_EQ(WaitForSingleObject(h, 5000), WAIT_OBJECT_0);
  GetExitCodeThread(h, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(h);

  EXPECT_EQ(create(&ReturnParameter, nullptr, nullptr), 1);  // handle closed by the engine

  ASSERT_EQ(create(&SleepLong, nullptr, &h), 1);
  HANDLE watch = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &watch, 0, FALSE, DUPLICATE_SAME_ACCESS));
  EXPECT_EQ(terminate(h), 1);
  ASSERT_EQ(WaitForSingleObject(watch, 5000), WAIT_OBJECT_0);
  GetExitCodeThread(watch, &code);
  EXPECT_EQ(code, 0u);
  DWORD flags = 0;
  EXPECT_FALSE(GetHandleInformation(h, &flags));  // the handed-over handle is closed

  // a handle without the terminate right: both attempts fail, the handle is still closed
  HANDLE sleeper = nullptr;
  ASSERT_EQ(create(&SleepLong, nullptr, &sleeper), 1);
  HANDLE weak = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), sleeper, GetCurrentProcess(), &weak, SYNCHRONIZE, FALSE, 0));
  EXPECT_EQ(terminate(weak), 0);
  EXPECT_FALSE(GetHandleInformation(weak, &flags));
  EXPECT_EQ(WaitForSingleObject(sleeper, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(terminate(sleeper), 1);
  CloseHandle(watch);
}

TEST(EngineFrame, VersionComesFromRtlGetVersion) {
  typedef LONG(WINAPI * RtlGetVersion_t)(OSVERSIONINFOW*);
  auto rtl = reinterpret_cast<RtlGetVersion_t>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
  ASSERT_NE(rtl, nullptr);
  OSVERSIONINFOW expected = {};
  expected.dwOSVersionInfoSize = sizeof expected;
  rtl(&expected);
  int v[4] = {};
  auto info = ORLIMB(Mian_GetSystemInfo);
  ASSERT_EQ(info(&v[0], &v[1], &v[2], &v[3]), 1);
  EXPECT_EQ(v[0], int(expected.dwMajorVersion));
  EXPECT_EQ(v[1], int(expected.dwMinorVersion));
  EXPECT_EQ(v[2], int(expected.dwBuildNumber));
  EXPECT_EQ(v[3], 64);  // x64 processor under wine64
  EXPECT_EQ(ORLIMB(If64Bit)(), 1);
  EXPECT_EQ(ORLIMB(IfNewWindows)(), v[0] >= 6 ? 1 : 0);
  int untouched = -7;
  EXPECT_EQ(info(&untouched, nullptr, &v[2], &v[3]), 0);
  EXPECT_EQ(untouched, -7);
}

// Wine reports another Windows version to one program when
// HKCU\Software\Wine\AppDefaults\<program>\Version says so.
class WineVersionFor {
 public:
  WineVersionFor(const std::string& exe, const char* version) {
    key_ = "Software\\Wine\\AppDefaults\\" + exe;
    HKEY k = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) == 0) {
      RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), DWORD(strlen(version) + 1));
      RegCloseKey(k);
    }
  }
  ~WineVersionFor() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }

 private:
  std::string key_;
};

TEST(EngineFrame, VersionPrefersRtlGetVersionOverTheManifestBoundQuery) {
  // "win10": RtlGetVersion says 10.0, GetVersionExW (no manifest) says 6.2
  const std::string exe = "orlimb_probe_w10_" + std::to_string(GetCurrentProcessId()) + ".exe";
  WineVersionFor w10(exe, "win10");
  std::string out = RunProbe("", "version", nullptr, exe);
  EXPECT_NE(out.find("result=1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("extra=10.0."), std::string::npos) << out;
}

TEST(EngineFrame, StartProcessBelowVersionSixStartsDirectly) {
  const std::string exe = "orlimb_probe_xp_" + std::to_string(GetCurrentProcessId()) + ".exe";
  WineVersionFor xp(exe, "winxp64");
  Victims victims("direct");
  int code = 0;
  RunProbe("", "start \"" + victims.path() + "\"", &code, exe);
  EXPECT_EQ(code, 11);
  // the program was started by the probe itself (shell execute), not by explorer
  unsigned parent = 0;
  ASSERT_TRUE(WaitUntil([&] { return ORLIMB(GetParentProcessID)(victims.name().c_str(), &parent) == 1; }, 10000));
  char parent_name[260] = {};
  if (ORLIMB(GetProcessName)(parent, parent_name, sizeof parent_name)) {
    EXPECT_NE(Lower(parent_name), "explorer.exe");
  }
  ORLIMB(ZuduraduProcessName)(victims.name().c_str(), 1);
}

TEST(EngineFrame, If64BitFillsTheCacheWhenAskedFirst) {
  std::string out = RunProbe("", "if64");
  EXPECT_EQ(out, "result=1\n");
}

}  // namespace
}  // namespace varnak::test
