// Demonstration program (not shipped): shows the skin with every control in
// a real window, for looking at it and for input driven from another
// process. Each named event is printed on its own line of standard output.
// Runs until the window is closed, or for the number of seconds given as the
// only argument.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "ui/globals.h"
#include "ui/tests/controls_skin.h"
#include "ui/window.h"
#include "ui/xml_parser.h"

namespace {

using namespace varnak::ui;

class DemoWindow : public CWindowX {
 public:
  HRESULT OnEvent(const std::wstring& handler, CPanelX*, UINT, LRESULT*, WPARAM, LPARAM) override {
    std::printf("%s\n", WideToUtf8(handler).c_str());
    std::fflush(stdout);
    return ROUTE_HANDLED;
  }
};

const char kSkin[] = "<ControlsDemoWindow Width=\"400\" Height=\"300\" ForceGdiplus=\"true\" Title=\"Controls\">"
    VARNAK_CONTROLS_SKIN_BODY "</ControlsDemoWindow>";

}  // namespace

int main(int argc, char** argv) {
  if (!RegisterClassOf<DemoWindow>(L"ControlsDemoWindow")) return 1;
  CWindowX* window = nullptr;
  const HRESULT hr = CXmlParserX().LoadWindowFromBytes(kSkin, sizeof kSkin - 1, &window);
  if (FAILED(hr)) {
    std::fprintf(stderr, "0x%08lX\n", static_cast<unsigned long>(hr));
    return 1;
  }
  ShowWindow(window->hwnd(), SW_SHOW);
  UpdateWindow(window->hwnd());
  // a thread timer ends the run when a duration is given
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 0;
  const UINT_PTR timer = seconds > 0 ? SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000u, nullptr) : 0;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && !msg.hwnd && msg.wParam == timer) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (timer) KillTimer(nullptr, timer);
  window->DestroyNativeWindow();
  window->Release();
  return 0;
}
