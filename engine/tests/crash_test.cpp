// The crash handler, the machine identifier and the URL check through the
// real DLL: a program crashes on purpose, the test answers its question and
// the loopback HTTP peer records the multipart report byte for byte.
#include <gtest/gtest.h>

#include <iphlpapi.h>

#include <cstdlib>
#include <fstream>

#include "common/md5.h"
#include "engine/tests/engine_test_util.h"

namespace varnak::test {
namespace {

std::string PeerDir() {
  const char* dir = getenv("VARNAK_ENGINE_PEERS_DIR");
  return dir ? WinePath(dir) + "\\http" : std::string();
}

int PeerPort() {
  std::string port;
  return ReadFileBytes(PeerDir() + "\\port", &port) ? atoi(port.c_str()) : 0;
}

std::vector<std::string> Requests(const std::string& marker) {
  std::vector<std::string> found;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((PeerDir() + "\\requests\\*.http").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return found;
  do {
    std::string text;
    ReadFileBytes(PeerDir() + "\\requests\\" + fd.cFileName, &text);
    if (text.find(marker) != std::string::npos) found.push_back(text);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return found;
}

TEST(EngineMachine, MacAndMachineIdFollowTheFirstAdapter) {
  ULONG size = 0;
  GetAdaptersInfo(nullptr, &size);
  std::vector<uint8_t> buffer(size ? size : sizeof(IP_ADAPTER_INFO));
  char mac[18] = "keep";
  if (GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size) != ERROR_SUCCESS) {
    EXPECT_EQ(ORLIMB(GetMAC)(mac), 0);
    GTEST_SKIP() << "no adapter";
  }
  const BYTE* a = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data())->Address;
  char expected[32];
  snprintf(expected, sizeof expected, "%X-%X-%X-%X-%X-%X", a[0], a[1], a[2], a[3], a[4], a[5]);
  ASSERT_EQ(ORLIMB(GetMAC)(mac), 1);
  EXPECT_STREQ(mac, expected);
  char mid[33] = {};
  ASSERT_EQ(ORLIMB(GetMID)(mid), 1);
  EXPECT_EQ(std::string(mid), Md5Hex(expected, strlen(expected)));
  EXPECT_EQ(ORLIMB(GetMAC)(nullptr), 0);
  EXPECT_EQ(ORLIMB(GetMID)(nullptr), 0);
}

TEST(EngineMachine, CheckUrlFile) {
  const int port = PeerPort();
  ASSERT_GT(port, 0);
  CreateDirectoryA((PeerDir() + "\\files").c_str(), nullptr);
  const std::string name = "present" + std::to_string(GetCurrentProcessId()) + ".bin";
  std::ofstream(PeerDir() + "\\files\\" + name) << "here";
  const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/";
  int status = -1;
  EXPECT_EQ(ORLIMB(CheckUrlFile)((base + name).c_str(), &status), 1);
  EXPECT_EQ(status, -1);  // not written on success
  EXPECT_EQ(ORLIMB(CheckUrlFile)((base + "missing.bin").c_str(), &status), 0);
  EXPECT_EQ(status, 404);
  EXPECT_EQ(ORLIMB(CheckUrlFile)((base + "missing.bin").c_str(), nullptr), 0);
  EXPECT_EQ(ORLIMB(CheckUrlFile)(nullptr, &status), 0);
  // two checks of one URL both reach the server
  const size_t before = Requests("GET /" + name).size();
  ORLIMB(CheckUrlFile)((base + name).c_str(), &status);
  EXPECT_EQ(Requests("GET /" + name).size(), before + 1);
}

// Answers the box with this title whose text contains `text` (the crash
// handler's two boxes share one title, and the first may still be closing).
void AnswerBoxContaining(const wchar_t* title, const wchar_t* text, int button, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeout_ms) {
    HWND box = nullptr;
    while ((box = FindWindowExW(nullptr, box, L"#32770", title)) != nullptr) {
      wchar_t shown[1024] = {};
      GetDlgItemTextW(box, 0xFFFF, shown, 1024);
      if (!wcsstr(shown, text)) continue;
      HWND target = GetDlgItem(box, button);
      if (target) {
        SendMessageW(target, BM_CLICK, 0, 0);
      } else {
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
      }
      return;
    }
    Sleep(50);
  }
}

// Runs the crasher from a folder with a "Varnak.exe" whose version is
// 1.2.3.4, answers the crash question and returns the exit code.
struct CrashRun {
  TempFolder folder;
  std::wstring question;
  int exit_code = -1;
  void Run(int answer, const std::string& cloud_host, int extra_button = 0) {
    folder.Copy(BuildBin() + "\\orlimb_crasher.exe");
    folder.Copy(BuildBin() + "\\Orlimb.dll");
    folder.Copy(Fixture("orlimb_versioned.exe"), "Varnak.exe");
    SetEnvironmentVariableA("VARNAK_CLOUD_HOST", cloud_host.c_str());
    // generous waits: the dump and the symbol reading are slow on a busy machine
    auto box = ClickMessageBox(L"Varnak崩溃了!", answer, 90000);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + folder.File("orlimb_crasher.exe") + "\"";
    BOOL started = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, folder.path().c_str(), &si, &pi);
    SetEnvironmentVariableA("VARNAK_CLOUD_HOST", nullptr);
    if (!started) return;
    CloseHandle(pi.hThread);
    question = box.get();
    if (extra_button) AnswerBoxContaining(L"Varnak崩溃了!", L"发送到云服务器失败", extra_button, 60000);
    if (WaitForSingleObject(pi.hProcess, 90000) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(pi.hProcess, &code);
      exit_code = int(code);
    } else {
      TerminateProcess(pi.hProcess, 99);
    }
    CloseHandle(pi.hProcess);
  }
  std::string Dump() const {
    std::string bytes;
    ReadFileBytes(folder.File("ZuduraduCrash.dmp"), &bytes);
    return bytes;
  }
};

TEST(EngineCrash, DeclinedReportKeepsTheDump) {
  CrashRun run;
  run.Run(IDNO, "127.0.0.1:9");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.question.rfind(L"新版Varnak在运行过程中遇到异常,急需您的反馈!\r\n点击\"是\"会将相关信息发送到Varnak云端\r\n", 0),
            0u);
  EXPECT_EQ(run.Dump().substr(0, 4), "MDMP");
}

TEST(EngineCrash, AcceptedReportIsUploadedAsMultipart) {
  const int port = PeerPort();
  ASSERT_GT(port, 0);
  char mid[33] = {};
  ASSERT_EQ(ORLIMB(GetMID)(mid), 1);
  const std::string marker = "/Crash.php?usermid=" + std::string(mid) + "&ver=1.2.3.4&CrashSystem=";
  const size_t before = Requests(marker).size();
  CrashRun run;
  run.Run(IDYES, "127.0.0.1:" + std::to_string(port));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_TRUE(run.Dump().empty()) << "a sent dump is deleted";
  auto requests = Requests(marker);
  ASSERT_EQ(requests.size(), before + 1);
  const std::string& r = requests.back();
  const std::string line = r.substr(0, r.find("\r\n"));
  int major = 0, minor = 0, bits = 0;
  int build = 0;
  ASSERT_EQ(ORLIMB(Mian_GetSystemInfo)(&major, &minor, &build, &bits), 1);
  const std::string expected_start = "POST " + marker + std::to_string(major) + "." + std::to_string(minor) +
                                     "&CrashOSBit=" + std::to_string(bits) + "&EndCode=C0000005&EndMoudle=";
  EXPECT_EQ(line.substr(0, expected_start.size()), expected_start) << line;
  EXPECT_NE(line.find("&CodeFile="), std::string::npos);
  EXPECT_NE(line.find("&FunName="), std::string::npos);
  EXPECT_NE(r.find("User-Agent: zuduradu_Crash\r\n"), std::string::npos);
  EXPECT_NE(r.find("Content-Type: multipart/form-data; boundary=---------------------------7df225331e01da\r\n"),
            std::string::npos);
  const std::string head = "-----------------------------7df225331e01da\r\n"
                           "Content-Disposition: form-data;name=\"DumpFile\";filename=\"tmp\"\r\n"
                           "Content-Type: video/x-ms-wmv\r\n\r\nMDMP";
  const std::string tail = "\r\n-----------------------------7df225331e01da--\r\n";
  const size_t body = r.find("\r\n\r\n") + 4;
  ASSERT_NE(r.find(head, body), std::string::npos);
  EXPECT_EQ(r.find(head, body), body);
  ASSERT_GE(r.size(), tail.size());
  EXPECT_EQ(r.substr(r.size() - tail.size()), tail);
  const size_t length_at = r.find("Content-Length: ");
  ASSERT_NE(length_at, std::string::npos);
  EXPECT_EQ(size_t(atoi(r.c_str() + length_at + 16)), r.size() - body);
}

TEST(EngineCrash, FailedUploadTellsTheUserAndKeepsTheDump) {
  CrashRun run;
  // a closed loopback port: the upload fails, the second box is answered with OK
  run.Run(IDYES, "127.0.0.1:9", IDOK);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.Dump().substr(0, 4), "MDMP");
}

}  // namespace
}  // namespace varnak::test
