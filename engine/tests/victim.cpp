// A victim process for the engine tests: sleeps for the milliseconds given
// as its first argument (default one minute) and exits with code 0. With
// "window" as its second argument it shows a window, brings it to the
// foreground and pumps messages for that time instead. Tests copy it under
// unique names.
#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  const DWORD ms = argc > 1 ? static_cast<DWORD>(strtoul(argv[1], nullptr, 10)) : 60000;
  if (argc > 2 && strcmp(argv[2], "window") == 0) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "OrlimbVictim";
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, "OrlimbVictim", "victim", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 200, 100, nullptr,
                             nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(w);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
      Sleep(10);
    }
    return 0;
  }
  Sleep(ms);
  return 0;
}
