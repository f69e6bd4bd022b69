// A stand-in engine for the engine-bridge tests: the twelve exports the
// bridge reaches, with canned outputs. Each call is logged to
// fake_engine.log beside the DLL. Built twice: complete, and without GetMID
// (FAKE_ORLIMB_WITHOUT_GETMID) to show a missing export.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

HMODULE g_self = nullptr;

void Log(const std::string& line) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(g_self, path, MAX_PATH);
  if (!n || n >= MAX_PATH) return;
  std::string file(path);
  file = file.substr(0, file.rfind('\\')) + "\\fake_engine.log";
  if (FILE* f = std::fopen(file.c_str(), "ab")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

void Write(char* out, size_t size, const std::string& text) { std::snprintf(out, size, "%s", text.c_str()); }

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_self = self;
  return TRUE;
}

extern "C" {

typedef int(WINAPI* Report)(unsigned pid, const char* path, unsigned parent_pid, void* context);

// Plays five events (pids 1000..1004, parent 4) until the report says stop:
// 1 when it stopped the watch, 0 when the events ran out.
int WINAPI GetNextProcessChange(int creation, Report report, void* context) {
  Log("GetNextProcessChange " + std::to_string(creation));
  if (!report) return 0;
  for (unsigned i = 0; i < 5; ++i) {
    std::string path = "C:\\fake\\p" + std::to_string(i) + ".exe";
    if (!report(1000 + i, path.c_str(), 4, context)) return 1;
  }
  return 0;
}

int WINAPI GetFileCompanyName(const char* file, char* out) {
  Log(std::string("GetFileCompanyName ") + file);
  Write(out, 260, std::string("公司:") + file);
  return 1;
}

int WINAPI GetFileDescription(const char* file, char* out) {
  Log(std::string("GetFileDescription ") + file);
  Write(out, 260, "描述");
  return 1;
}

int WINAPI CheckSigAndHashA(int verify_hash, const char* file, char* signer) {
  Log("CheckSigAndHashA " + std::to_string(verify_hash) + " " + file);
  Write(signer, 260, " ");
  return 0;
}

int WINAPI GetProcessPath(const char* name, char* out) {
  Log(std::string("GetProcessPath ") + name);
  Write(out, 260, std::string("C:\\fake\\") + name);
  return 1;
}

int WINAPI GetProcessPathByPid(unsigned pid, char* out) {
  Log("GetProcessPathByPid " + std::to_string(pid));
  if (pid == 0) return 0;
  Write(out, 260, "C:\\fake\\pid" + std::to_string(pid) + ".exe");
  return 1;
}

int WINAPI SetLog(const char* url) {
  Log(std::string("SetLog ") + url);
  return 1;
}

#ifndef FAKE_ORLIMB_WITHOUT_GETMID
int WINAPI GetMID(char* out) {
  Write(out, 33, "0123456789abcdef0123456789abcdef");
  return 1;
}
#endif

int WINAPI GetFileVer(const char* file, char* out) {
  Log(std::string("GetFileVer ") + file);
  Write(out, 260, "1.2.3.4");
  return 1;
}

// Not a digest: the byte count and a checksum of every byte, as 32 hex
// characters, so tests see exactly which bytes arrived.
int WINAPI GetMd5FromMemoryA(const void* data, unsigned length, char* out) {
  unsigned sum = 0;
  for (unsigned i = 0; i < length; ++i) sum = sum * 31 + static_cast<const unsigned char*>(data)[i];
  std::snprintf(out, 33, "%016x%016x", length, sum);
  return 1;
}

int WINAPI GetMd5A(const char* file, char* out) {
  Log(std::string("GetMd5A ") + file);
  if (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES) return 0;
  Write(out, 33, "ffffffffffffffffffffffffffffffff");
  return 1;
}

}  // extern "C"
