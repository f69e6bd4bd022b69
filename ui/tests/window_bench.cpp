// Benchmark of the window's input path; prints figures, checks nothing.
//   - input-to-repaint latency of a button hover: from the posted mouse move
//     to the repainted pixel, in this process (window DC) and from a second
//     process driving ui_demo.exe (screen pixel);
//   - 10,000 mouse moves dispatched through the window procedure over a tree
//     of 500 elements, beside hit-testing the same tree at the same points.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "testsupport/winhost.h"
#include "ui/resource_manager.h"
#include "ui/window.h"
#include "ui/xml_parser.h"

using namespace varnak::ui;

namespace {

constexpr COLORREF kNormal = RGB(200, 40, 40);
constexpr COLORREF kMouseOver = RGB(40, 180, 40);
constexpr POINT kOk = {20, 47};
constexpr POINT kApply = {20, 81};

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void PumpOnce() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void PrintLatency(const char* what, std::vector<double> ms) {
  if (ms.empty()) {
    std::printf("%-52s no samples\n", what);
    return;
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%-52s median %7.2f ms   min %7.2f   max %7.2f   (%zu samples)\n", what, ms[ms.size() / 2], ms.front(),
              ms.back(), ms.size());
}

// Alternates the pointer between two buttons and times each move until the
// target shows its hover colour. read_pixel reads a client point; pump runs
// this process's messages (empty for a window of another process).
template <typename ReadPixel, typename Pump>
std::vector<double> HoverLatencies(HWND hwnd, int rounds, ReadPixel read_pixel, Pump pump) {
  std::vector<double> samples;
  for (int k = 0; k < rounds; ++k) {
    const POINT target = k % 2 ? kApply : kOk;
    const POINT other = k % 2 ? kOk : kApply;
    // the other button must be back to normal first
    const double settle = NowMs();
    while (read_pixel(other) != kNormal && NowMs() - settle < 2000) pump();
    const double start = NowMs();
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(target.x, target.y));
    bool seen = false;
    while (NowMs() - start < 2000) {
      pump();
      if (read_pixel(target) == kMouseOver) {
        seen = true;
        break;
      }
    }
    if (seen) samples.push_back(NowMs() - start);
  }
  return samples;
}

void HoverInProcess(const std::wstring& skin) {
  if (FAILED(GetResourceManager().OpenSource(skin, SOURCE_FOLDER, ""))) {
    std::printf("hover latency: cannot open %ls\n", skin.c_str());
    return;
  }
  CWindowX* window = nullptr;
  if (FAILED(CXmlParserX().LoadWindow(&window))) return;
  HWND hwnd = window->hwnd();
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  HDC dc = GetDC(hwnd);
  auto read = [dc](POINT p) { return GetPixel(dc, p.x, p.y); };
  PrintLatency("hover latency, same process (window DC)", HoverLatencies(hwnd, 60, read, PumpOnce));
  ReleaseDC(hwnd, dc);
  window->DestroyNativeWindow();
  window->Release();
  PumpOnce();
}

void HoverFromSecondProcess() {
  varnak::test::TempFolder folder;
  const std::string out_path = folder.File("demo.out");
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE out = CreateFileA(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = out;
  PROCESS_INFORMATION pi = {};
  std::string command = "\"" + varnak::test::BinDir() + "\\ui_demo.exe\"";
  const BOOL started =
      CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
  CloseHandle(out);
  if (!started) {
    std::printf("hover latency, second process: ui_demo.exe did not start\n");
    return;
  }
  CloseHandle(pi.hThread);
  HWND found = nullptr;
  const double begin = NowMs();
  while (!found && NowMs() - begin < 15000) {
    Sleep(20);
    found = varnak::test::FindProcessWindow(pi.dwProcessId, L"Window");
  }
  if (found) {
    Sleep(300);  // the first paint
    HWND hwnd = found;
    auto read = [hwnd](POINT p) {
      ClientToScreen(hwnd, &p);
      HDC screen = GetDC(nullptr);
      const COLORREF c = GetPixel(screen, p.x, p.y);
      ReleaseDC(nullptr, screen);
      return c;
    };
    PrintLatency("hover latency, second process (screen pixel)", HoverLatencies(hwnd, 60, read, [] {}));
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
  } else {
    std::printf("hover latency, second process: no window\n");
  }
  if (WaitForSingleObject(pi.hProcess, 5000) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 3);
  CloseHandle(pi.hProcess);
}

// 20 columns of 24 panels in a 800 x 600 window: 1 + 20 + 480 = 501 elements.
void DispatchCost() {
  std::string markup = R"(<Window Width="800" Height="600" ForceGdiplus="true"><StackPanel Orientation="Horizontal" AlignmentMajor="Left">)";
  for (int c = 0; c < 20; ++c) {
    markup += R"(<StackPanel Width="40" AlignmentMajor="Top">)";
    for (int r = 0; r < 24; ++r)
      markup += R"(<Panel Height="25" Margin="1,1,1,1" Background="200,200,200" OnMessage="512-Moved;"/>)";
    markup += "</StackPanel>";
  }
  markup += "</StackPanel></Window>";
  CWindowX* window = nullptr;
  if (FAILED(CXmlParserX().LoadWindowFromBytes(markup.data(), markup.size(), &window))) {
    std::printf("dispatch cost: the tree did not load\n");
    return;
  }
  std::vector<CPanelX*> all;
  window->GetContent()->CollectElements([](CPanelX*) { return true; }, &all);
  const size_t elements = all.size() + 1;
  for (CPanelX* p : all) p->Release();
  HWND hwnd = window->hwnd();
  window->GetContent()->InvalidateLayout(false);
  constexpr int kMoves = 10000;
  std::vector<POINT> points(kMoves);
  for (int k = 0; k < kMoves; ++k) points[k] = POINT{(k * 37) % 800, (k * 53) % 600};
  CPanelX* content = window->GetContent();
  size_t hits = 0;
  const double bare_start = NowMs();
  for (const POINT& p : points) hits += content->HitTest(p.x, p.y) != nullptr;
  const double bare = NowMs() - bare_start;
  const double start = NowMs();
  for (const POINT& p : points) SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
  const double dispatch = NowMs() - start;
  const double empty_start = NowMs();
  for (int k = 0; k < kMoves; ++k) SendMessageW(hwnd, WM_NULL, 0, 0);
  const double empty = NowMs() - empty_start;
  std::printf("dispatch: %zu elements, %d moves (%zu hits)\n", elements, kMoves, hits);
  std::printf("%-52s %9.3f ms   %7.2f us/move\n", "mouse moves through the window procedure", dispatch,
              dispatch * 1000 / kMoves);
  std::printf("%-52s %9.3f ms   %7.2f us/move   ratio %5.1f\n", "bare hit tests at the same points", bare,
              bare * 1000 / kMoves, bare > 0 ? dispatch / bare : 0.0);
  std::printf("%-52s %9.3f ms   %7.2f us/message (WM_NULL, tree broadcast)\n", "sent messages without a target", empty,
              empty * 1000 / kMoves);
  window->DestroyNativeWindow();
  window->Release();
  PumpOnce();
}

}  // namespace

int main() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  DispatchCost();
  const std::string bin = varnak::test::BinDir();
  HoverInProcess(std::wstring(bin.begin(), bin.end()) + L"\\demo-skin");
  HoverFromSecondProcess();
  CoUninitialize();
  return 0;
}
