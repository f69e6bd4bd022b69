// Entry of the engine's Windows tests. The engine reads its log switch from
// Conf.ini beside the host program when it is loaded, so the tests run from
// a private copy of this program and Orlimb.dll in a temporary folder whose
// Conf.ini turns the log on; the build's bin folder stays untouched.
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/tests/engine_test_util.h"

namespace varnak::test {

namespace {
std::string g_build_bin;
}

HMODULE Engine() {
  static HMODULE module = LoadLibraryA("Orlimb.dll");
  return module;
}

FARPROC EngineProc(const char* name) {
  HMODULE m = Engine();
  return m ? GetProcAddress(m, name) : nullptr;
}

std::string BuildBin() { return g_build_bin; }
std::string Fixture(const std::string& name) { return g_build_bin + "\\engine_fixtures\\" + name; }

std::string WinePath(const std::string& unix_path) {
  std::string p = "Z:" + unix_path;
  for (char& c : p) {
    if (c == '/') c = '\\';
  }
  return p;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeout_ms) return false;
    Sleep(20);
  }
  return true;
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return s;
}

Victims::Victims(const std::string& tag) {
  name_ = "zv" + std::to_string(GetCurrentProcessId()) + tag + ".exe";
  path_ = folder_.Copy(BuildBin() + "\\orlimb_victim.exe", name_);
}

void Victims::Release(size_t i) {
  CloseHandle(handles_.at(i));
  handles_[i] = nullptr;
}

Victims::~Victims() {
  for (HANDLE h : handles_) {
    if (!h) continue;
    TerminateProcess(h, 9);
    WaitForSingleObject(h, 5000);
    CloseHandle(h);
  }
}

DWORD Victims::Start(DWORD sleep_ms, bool window) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = "\"" + path_ + "\" " + std::to_string(sleep_ms) + (window ? " window" : "");
  if (!CreateProcessA(path_.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 0;
  CloseHandle(pi.hThread);
  handles_.push_back(pi.hProcess);
  return pi.dwProcessId;
}

bool Victims::Ended(size_t i, DWORD wait_ms) const {
  return WaitForSingleObject(handles_.at(i), wait_ms) == WAIT_OBJECT_0;
}

}  // namespace varnak::test

namespace {

const char kCopyMark[] = "VARNAK_ENGINE_TEST_BIN";

// Runs this program again from a temporary folder holding a copy of it, of
// Orlimb.dll and a Conf.ini with the log switch on. Returns its exit code.
int RunFromPrivateFolder(int /*argc*/, char** /*argv*/) {
  using namespace varnak::test;
  const std::string bin = BinDir();
  TempFolder folder;
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string copy = folder.Copy(exe);
  if (copy.empty() || folder.Copy(bin + "\\Orlimb.dll").empty() ||
      !folder.Write("Conf.ini", "[DeBug]\r\nDeBug=TRUE\r\n")) {
    fprintf(stderr, "cannot prepare the private test folder\n");
    return 3;
  }
  SetEnvironmentVariableA(kCopyMark, bin.c_str());
  // the same arguments, with the copy as the program
  std::string line = GetCommandLineA();
  size_t args = 0;
  if (!line.empty() && line[0] == '"') {
    args = line.find('"', 1);
    args = args == std::string::npos ? line.size() : args + 1;
  } else {
    args = line.find(' ');
    if (args == std::string::npos) args = line.size();
  }
  std::string cmd = "\"" + copy + "\"" + line.substr(args);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(copy.c_str(), &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, folder.path().c_str(), &si, &pi))
    return 4;
  CloseHandle(pi.hThread);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 5;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv) {
  const char* bin = getenv(kCopyMark);
  if (!bin || !*bin) return RunFromPrivateFolder(argc, argv);
  varnak::test::g_build_bin = bin;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
