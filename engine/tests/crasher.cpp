// A program that crashes on purpose after installing the engine's crash
// handler: loads Orlimb.dll from its own folder, calls SetCrashDef, then
// writes to address 0. Exit code 3 when the engine cannot be loaded.
#include <windows.h>

#include "engine/orlimb_api.h"

int main() {
  HMODULE engine = LoadLibraryA("Orlimb.dll");
  if (!engine) return 3;
  auto set_crash = reinterpret_cast<SetCrashDef_fn>(reinterpret_cast<void*>(GetProcAddress(engine, "SetCrashDef")));
  if (!set_crash || set_crash() != 1) return 4;
  volatile int* nowhere = nullptr;
  *nowhere = 42;
  return 5;
}
