// A pop-up window for the popup-block tests: a top-level window of class
// "SeskelTestPopup", title "弹窗测试", at (100,120)-(500,420).
//   popup_target.exe <info file>
// Writes "<handle> <pid> <tid>" to the info file once the window exists and
// appends "close" / "show <wParam>" lines to "<info file>.log" as WM_CLOSE
// and WM_SHOWWINDOW arrive. Exits with 7 after WM_CLOSE.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string g_log;

void Log(const char* line) {
  FILE* f = std::fopen(g_log.c_str(), "ab");
  if (!f) return;
  std::fprintf(f, "%s\n", line);
  std::fclose(f);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_CLOSE:
      Log("close");
      DestroyWindow(window);
      return 0;
    case WM_SHOWWINDOW: {
      char line[32];
      std::snprintf(line, sizeof line, "show %u", static_cast<unsigned>(w));
      Log(line);
      break;
    }
    case WM_DESTROY:
      PostQuitMessage(7);
      return 0;
  }
  return DefWindowProcA(window, message, w, l);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  g_log = std::string(argv[1]) + ".log";
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "SeskelTestPopup";
  if (!RegisterClassA(&wc)) return 3;
  HWND window = CreateWindowExA(0, "SeskelTestPopup", "弹窗测试", WS_OVERLAPPEDWINDOW, 100, 120, 400, 300,
                                nullptr, nullptr, wc.hInstance, nullptr);
  if (!window) return 4;
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  std::string tmp = std::string(argv[1]) + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "w");
  if (!f) return 5;
  std::fprintf(f, "%lld %lu %lu", static_cast<long long>(reinterpret_cast<intptr_t>(window)),
               GetCurrentProcessId(), GetWindowThreadProcessId(window, nullptr));
  std::fclose(f);
  MoveFileA(tmp.c_str(), argv[1]);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
