// 32-bit build only: keeps a program's or DLL's import table loadable on
// Windows XP. Linked into every 32-bit program and DLL by varnak_xp_compat().
//
// The static C++ runtime (thread-safe statics, std::locale) pulls in
// winpthread, whose timing code imports kernel32's GetTickCount64, which XP
// lacks; the DLL would then fail to load. Defining the import slot here makes
// the linker use this one instead of kernel32's: it calls the real routine
// where it exists and falls back to GetTickCount (which wraps after 49 days)
// where it does not.
#include <windows.h>

namespace {

ULONGLONG WINAPI TickCount64() {
  typedef ULONGLONG(WINAPI * GetTickCount64_t)(void);
  static GetTickCount64_t volatile routine = nullptr;
  static volatile LONG looked_up = 0;
  if (!looked_up) {
    routine = reinterpret_cast<GetTickCount64_t>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
    InterlockedExchange(&looked_up, 1);
  }
  return routine ? routine() : GetTickCount();
}

}  // namespace

extern "C" {
// the import slot of GetTickCount64 as the i686 import library names it
void* varnak_imp_GetTickCount64 __asm__("__imp__GetTickCount64@0") = reinterpret_cast<void*>(&TickCount64);
}
