// A small host for engine tests that need a fresh process: loads Orlimb.dll
// from its own folder (so the Conf.ini beside it decides the log), runs one
// command, and writes the result and every captured log line to a file.
//   orlimb_probe.exe <out-file> log           DbgPrintA("probe %d", 7)
//   orlimb_probe.exe <out-file> if64          If64Bit() as the first call
//   orlimb_probe.exe <out-file> runtime       RunTime_Check()
//   orlimb_probe.exe <out-file> version       Mian_GetSystemInfo()
//   orlimb_probe.exe <out-file> start <file>  StartProcess_explorer(file, "3000")
// The exit code is 10 + the export's result, or 2 for bad usage, 3 when the
// engine cannot be loaded.
#include <windows.h>

#include <cstdio>
#include <string>

#include "engine/orlimb_api.h"
#include "testsupport/winhost.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  varnak::test::DebugCapture capture;
  HMODULE engine = LoadLibraryA("Orlimb.dll");
  if (!engine) return 3;
  auto proc = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(engine, name)); };
  const std::string command = argv[2];
  int result = -1;
  std::string extra;
  if (command == "log") {
    result = reinterpret_cast<DbgPrintA_fn>(proc("DbgPrintA"))("probe %d", 7);
  } else if (command == "if64") {
    result = reinterpret_cast<If64Bit_fn>(proc("If64Bit"))();
  } else if (command == "runtime") {
    result = reinterpret_cast<RunTime_Check_fn>(proc("RunTime_Check"))();
  } else if (command == "version") {
    int v[4] = {};
    result = reinterpret_cast<Mian_GetSystemInfo_fn>(proc("Mian_GetSystemInfo"))(&v[0], &v[1], &v[2], &v[3]);
    extra = std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "/" +
            std::to_string(v[3]);
  } else if (command == "start" && argc > 3) {
    result = reinterpret_cast<StartProcess_explorer_fn>(proc("StartProcess_explorer"))(argv[3], "3000");
  } else {
    return 2;
  }
  FILE* out = fopen(argv[1], "wb");
  if (out) {
    fprintf(out, "result=%d\n", result);
    if (!extra.empty()) fprintf(out, "extra=%s\n", extra.c_str());
    for (const std::string& line : capture.Lines()) fprintf(out, "log=%s\n", line.c_str());
    fclose(out);
  }
  return 10 + result;
}
