// A script host for tests that need a process of their own (the engine
// handle is cached per process): loads Seskel.dll from its own folder, like
// the main program, and runs a script with the full runner.
//   seskel_host.exe <script> [entry]
// Exits with the runner's result (0 or 1), or 3 when Seskel.dll does not
// load. Debug output seen meanwhile goes to debug.txt beside the program.
#include <windows.h>

#include <cstdio>
#include <string>

#include "scripting/seskel_api.h"
#include "testsupport/winhost.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string folder = varnak::test::BinDir();
  HMODULE seskel = LoadLibraryA((folder + "\\Seskel.dll").c_str());
  if (!seskel) return 3;
  auto run = reinterpret_cast<StartLuaScriptFn>(reinterpret_cast<void*>(GetProcAddress(seskel, "StartLuaScript")));
  if (!run) return 3;
  int result;
  std::string debug;
  {
    varnak::test::DebugCapture capture;
    result = run(argv[1], argc > 2 ? argv[2] : nullptr);
    for (const std::string& line : capture.Lines()) debug += line + "\n";
  }
  if (FILE* f = std::fopen((folder + "\\debug.txt").c_str(), "wb")) {
    std::fwrite(debug.data(), 1, debug.size(), f);
    std::fclose(f);
  }
  return result;
}
