// ui_demo: shows a skin folder as a real window, for looking at skins and for
// tests that drive the window from another process. Prints one line per
// named event and focus change to standard output:
//   ready hwnd=<handle> pid=<process id>
//   event <handler> <sender name> check=<select state> t=<GetTickCount>
//   focus <element name>
//   sync <n>            (for a posted WM_APP + 0x100 with wParam n)
//   closed
// and ends when the window is closed (WM_CLOSE).
//
//   ui_demo.exe [skin folder]      default: demo-skin beside the program
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "ui/controls/button.h"
#include "ui/resource_manager.h"
#include "ui/window.h"
#include "ui/xml_parser.h"

namespace varnak::ui {
namespace {

// Posted by a driving process with a number; the demo prints "sync <n>".
constexpr UINT kDemoSync = WM_APP + 0x100;

void PrintLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);  // a reader in another process sees every line at once
}

class CDemoWindowX : public CWindowX {
 public:
  HRESULT OnEvent(const std::wstring& handler, CPanelX* sender, UINT message, LRESULT*, WPARAM,
                  LPARAM) override {
    std::string line = "event " + WideToUtf8(handler) + " " + (sender ? WideToUtf8(sender->name()) : "-");
    if (auto* button = dynamic_cast<CButtonX*>(sender)) line += " check=" + std::to_string(button->GetCheck());
    if (message) line += " message=" + std::to_string(message);
    line += " t=" + std::to_string(GetTickCount());
    PrintLine(line);
    return ROUTE_HANDLED;
  }
  int SetFocusedElement(CPanelX* element, bool on) override {
    CPanelX* before = focused();
    const int r = CWindowX::SetFocusedElement(element, on);
    if (focused() != before) PrintLine("focus " + (focused() ? WideToUtf8(focused()->name()) : std::string("-")));
    return r;
  }

 protected:
  // A posted sync request: answered in order with everything posted before.
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == kDemoSync) {
      PrintLine("sync " + std::to_string(wparam));
      return 0;
    }
    return CWindowX::WindowProc(message, wparam, lparam);
  }
};

std::wstring DefaultSkin() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return L"demo-skin";
  std::wstring dir(path, n);
  dir.resize(dir.find_last_of(L"\\/") + 1);
  return dir + L"demo-skin";
}

// Loads the skin's window and moves its tree into the demo's own window
// class, which prints the events; placement and title come from the same
// markup element.
CDemoWindowX* LoadDemoWindow(HRESULT* hr) {
  CWindowX* loaded = nullptr;
  *hr = CXmlParserX().LoadWindow(&loaded);
  if (FAILED(*hr)) return nullptr;
  MarkupDocument document;
  const tinyxml2::XMLElement* node = loaded->GetSource(&document);
  CPanelX* content = loaded->GetContent();
  content->AddRef();
  loaded->DestroyNativeWindow();
  loaded->Release();
  // the loaded window's WM_DESTROY asked the loop to end: not this one
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  auto* window = new CDemoWindowX();
  window->AddRef();
  window->SetSource(document, node);
  *hr = window->SetContent(content);
  content->Release();
  if (SUCCEEDED(*hr)) *hr = window->LoadAttributes(CXmlAttributesX(node));
  if (SUCCEEDED(*hr) && !window->CreateNativeWindow()) *hr = E_FAIL;
  if (FAILED(*hr)) {
    window->Release();
    return nullptr;
  }
  return window;
}

int Run(const std::wstring& skin) {
  HRESULT hr = GetResourceManager().OpenSource(skin, SOURCE_FOLDER, "");
  if (FAILED(hr)) {
    std::fprintf(stderr, "ui_demo: cannot open the skin folder (0x%08lX)\n", static_cast<unsigned long>(hr));
    return 1;
  }
  CDemoWindowX* window = LoadDemoWindow(&hr);
  if (!window) {
    std::fprintf(stderr, "ui_demo: cannot load the window (0x%08lX)\n", static_cast<unsigned long>(hr));
    return 1;
  }
  HWND hwnd = window->hwnd();
  ShowWindow(hwnd, SW_SHOW);
  SetForegroundWindow(hwnd);
  UpdateWindow(hwnd);
  char ready[96];
  std::snprintf(ready, sizeof ready, "ready hwnd=0x%llX pid=%lu",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)), GetCurrentProcessId());
  PrintLine(ready);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  PrintLine("closed");
  window->Release();
  return 0;
}

}  // namespace
}  // namespace varnak::ui

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring skin = argv && argc > 1 ? argv[1] : varnak::ui::DefaultSkin();
  if (argv) LocalFree(argv);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int code = varnak::ui::Run(skin);
  CoUninitialize();
  return code;
}
