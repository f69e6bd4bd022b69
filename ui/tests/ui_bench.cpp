// Benchmark of the toolkit's loading paths; prints figures, checks nothing.
//   - a markup of 2,000 elements loaded into a tree, beside parsing the
//     same bytes with tinyxml2 alone;
//   - a tree of 2,000 panels of mixed kinds laid out after a resize, beside
//     walking the same tree;
//   - a full and a one-element repaint of an 800 x 600 buffer with 200
//     drawables (the ratio shows that only what changed is redrawn), also
//     through a window's back buffer, Paint and Present;
//   - 500 resources opened and read from a folder, a zip and a compressed,
//     enciphered package, beside reading the same files with ReadFile.
#include <windows.h>

#include <tinyxml2.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "testsupport/winhost.h"
#include "ui/resource_manager.h"
#include "ui/layout_panels.h"
#include "ui/render.h"
#include "ui/storage.h"
#include "ui/tests/test_util.h"
#include "ui/window.h"
#include "ui/xml_parser.h"

using namespace varnak::ui;

namespace {

double Millis(const std::function<void()>& f, int rounds) {
  const auto start = std::chrono::steady_clock::now();
  for (int k = 0; k < rounds; ++k) f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / rounds;
}

void Report(const char* what, double ms, double bare_ms) {
  std::printf("%-44s %9.3f ms   bare %9.3f ms   ratio %7.3f\n", what, ms, bare_ms, bare_ms > 0 ? ms / bare_ms : 0.0);
}

}  // namespace

int main() {
  // --- markup -----------------------------------------------------------------
  std::string markup = "<Window Width=\"400\" Height=\"300\"><Panel Name=\"Root\">";
  for (int g = 0; g < 100; ++g) {
    markup += "<Panel Name=\"G" + std::to_string(g) + "\" Margin=\"1,2,3,4\" Background=\"255,0,0\">";
    for (int k = 0; k < 19; ++k)
      markup += "<Panel Name=\"E" + std::to_string(g * 19 + k) +
                "\" Width=\"10\" Height=\"12\" Panel.AlignmentX=\"Left\" OnMessage=\"514-Click;\"/>";
    markup += "</Panel>";
  }
  markup += "</Panel></Window>";
  int created = 0;
  const double load = Millis(
      [&] {
        CWindowX* window = nullptr;
        if (SUCCEEDED(CXmlParserX().LoadWindowFromBytes(markup.data(), markup.size(), &window))) {
          std::vector<CPanelX*> all;
          window->GetContent()->CollectElements([](CPanelX*) { return true; }, &all);
          created = static_cast<int>(all.size()) + 1;
          for (CPanelX* p : all) p->Release();
          window->Release();
        }
      },
      20);
  const double parse = Millis(
      [&] {
        tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
        doc.Parse(markup.data(), markup.size());
      },
      20);
  std::printf("markup: %d elements, %zu bytes\n", created, markup.size());
  Report("load markup into a tree", load, parse);

  // --- layout -------------------------------------------------------------------
  {
    std::string tree = "<Window Width=\"800\" Height=\"600\"><DockPanel>";
    const char* kinds[] = {"StackPanel AlignmentMajor=\"Top\"", "DockPanel", "WrapPanel", "GridPanel", "Panel"};
    for (int g = 0; g < 100; ++g) {
      const std::string kind = kinds[g % 5];
      const std::string tag = kind.substr(0, kind.find(' '));
      tree += "<" + kind + " Width=\"40\" Height=\"30\" DockPanel.Dock=\"" + (g % 2 ? "Top" : "Left") + "\">";
      for (int k = 0; k < 19; ++k)
        tree += "<Panel Width=\"" + std::to_string(5 + k % 7) + "\" Height=\"4\" Margin=\"1,1,1,1\" GridPanel.GridPos=\"" +
                std::to_string(k % 3) + "," + std::to_string(k % 2) + "\"/>";
      tree += "</" + tag + ">";
    }
    tree += "</DockPanel></Window>";
    CWindowX* window = nullptr;
    if (SUCCEEDED(CXmlParserX().LoadWindowFromBytes(tree.data(), tree.size(), &window))) {
      std::vector<CPanelX*> all;
      window->GetContent()->CollectElements([](CPanelX*) { return true; }, &all);
      const double relayout = Millis(
          [&] {
            window->GetContent()->OnResized();
            RECT r;
            for (CPanelX* p : all) p->GetRect(&r, false);
          },
          50);
      const double walk = Millis(
          [&] {
            std::vector<CPanelX*> again;
            window->GetContent()->CollectElements([](CPanelX*) { return true; }, &again);
            for (CPanelX* p : again) p->Release();
          },
          50);
      std::printf("layout: %zu panels of five kinds\n", all.size() + 1);
      Report("layout after a resize", relayout, walk);
      std::printf("layout after a resize: %.0f us, walking the tree: %.0f us\n", relayout * 1000, walk * 1000);
      for (CPanelX* p : all) p->Release();
      window->Release();
    }
  }

  // --- repaint ------------------------------------------------------------------
  {
    std::string skin = "<Window Width=\"800\" Height=\"600\"><WrapPanel Background=\"255,255,255\">";
    for (int k = 0; k < 200; ++k)
      skin += "<Panel Name=\"D" + std::to_string(k) + "\" Width=\"40\" Height=\"30\" Margin=\"0,0,0,0\" Background=\"" +
              std::to_string(k % 256) + ",0,128\"/>";
    skin += "</WrapPanel></Window>";
    CWindowX* window = nullptr;
    if (SUCCEEDED(CXmlParserX().LoadWindowFromBytes(skin.data(), skin.size(), &window))) {
      SetWindowPos(window->hwnd(), nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      window->GetContent()->InvalidateLayout(false);
      COffscreenBuffer buffer;
      buffer.Resize(800, 600);
      CPanelX* one = nullptr;
      window->GetContent()->FindElementByName(L"D77", &one);
      RECT dirty = {};
      if (one) one->GetRect(&dirty, false);
      const double full = Millis([&] { buffer.Paint(window->GetContent(), nullptr); }, 20);
      const double single = Millis([&] { buffer.Paint(window->GetContent(), &dirty); }, 200);
      std::printf("repaint of an 800 x 600 buffer with 200 drawables (GDI+)\n");
      Report("one-element repaint against a full repaint", single, full);
      // the window's own path: its back buffer's DC, Paint of the dirty
      // rectangle and Present (BitBlt of the client area to the window),
      // with the window's Direct2D renderer and with GDI+ forced
      auto window_path = [&](CWindowX* w) {
        RECT client = {0, 0, 800, 600};
        const double win_full = Millis(
            [&] {
              w->InvalidateWindowRect(&client, false);
              w->Paint(nullptr);
              w->Present();
            },
            20);
        const double win_one = Millis(
            [&] {
              w->InvalidateWindowRect(&dirty, false);
              w->Paint(nullptr);
              w->Present();
            },
            200);
        std::printf("the window's Paint + Present (%s)\n",
                    w->renderer() && w->renderer()->IsDirect2D() ? "Direct2D" : "GDI+");
        Report("one-element repaint against a full repaint", win_one, win_full);
      };
      window_path(window);
      std::string forced = skin;
      forced.insert(forced.find("<Window ") + 8, "ForceGdiplus=\"true\" ");
      CWindowX* gdiplus_window = nullptr;
      if (SUCCEEDED(CXmlParserX().LoadWindowFromBytes(forced.data(), forced.size(), &gdiplus_window))) {
        SetWindowPos(gdiplus_window->hwnd(), nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        gdiplus_window->GetContent()->InvalidateLayout(false);
        window_path(gdiplus_window);
        gdiplus_window->Release();
      }
      IRenderX* direct2d = nullptr;
      if (SUCCEEDED(CreateDirect2DRenderer(&direct2d))) {
        // the window's way: one renderer and one back buffer kept across
        // paints, the DC render target bound again over the dirty rectangle
        COffscreenBuffer kept;
        kept.Resize(800, 600);
        const double kept_full = Millis([&] { kept.Paint(window->GetContent(), nullptr, direct2d); }, 20);
        const double kept_one = Millis([&] { kept.Paint(window->GetContent(), &dirty, direct2d); }, 200);
        std::printf("the same with Direct2D (kept back buffer and render target)\n");
        Report("one-element repaint against a full repaint", kept_one, kept_full);
        direct2d->Release();
        std::vector<uint32_t> px;
        const double d2d_full =
            Millis([&] { RenderToPixelsDirect2D(window->GetContent(), 800, 600, &px); }, 20);
        const double d2d_one =
            Millis([&] { RenderToPixelsDirect2D(window->GetContent(), 800, 600, &px, &dirty); }, 20);
        std::printf("the same with Direct2D (a fresh DC render target each time)\n");
        Report("one-element repaint against a full repaint", d2d_one, d2d_full);
      }
      if (one) one->Release();
      window->Release();
    }
  }

  // --- resources ----------------------------------------------------------------
  varnak::test::TempFolder dir;
  const std::string folder = dir.File("skin");
  CreateDirectoryA(folder.c_str(), nullptr);
  std::vector<varnak::ui::test::ZipItem> items;
  for (int k = 0; k < 500; ++k) {
    std::string bytes;
    for (int j = 0; j < 4096; ++j) bytes += static_cast<char>("<Panel Width=\"10\"/>\n"[j % 20] + (j % 7 == 0 ? k % 3 : 0));
    const std::string name = "r" + std::to_string(k) + ".xml";
    varnak::ui::test::WriteBytes(folder + "\\" + name, bytes);
    items.push_back({name, bytes});
  }
  varnak::ui::test::WriteBytes(dir.File("skin.zip"), varnak::ui::test::ZipBytes(items));
  {
    auto package = CStorage::New();
    package->CreatePackageFile(varnak::ui::test::Wide(dir.File("skin.pkg")), STGM_READWRITE | STGM_SHARE_EXCLUSIVE);
    PackageOptions options;
    options.compress = true;
    options.password = "secret";
    package->ImportFolder(varnak::ui::test::Wide(folder), options);
    package->Close(true);
  }
  const double bare = Millis(
      [&] {
        for (int k = 0; k < 500; ++k) {
          std::string bytes;
          varnak::test::ReadFileBytes(folder + "\\r" + std::to_string(k) + ".xml", &bytes);
        }
      },
      5);
  struct Source {
    const char* what;
    std::wstring path;
    int kind;
  } sources[] = {{"500 resources from a folder", varnak::ui::test::Wide(folder), SOURCE_FOLDER},
                 {"500 resources from a zip", varnak::ui::test::Wide(dir.File("skin.zip")), SOURCE_ZIP_FILE},
                 {"500 resources from a package (LZW + RC4)", varnak::ui::test::Wide(dir.File("skin.pkg")),
                  SOURCE_PACKAGE_FILE}};
  for (const Source& s : sources) {
    int ok = 0;
    const double ms = Millis(
        [&] {
          CResourceManagerX manager;
          manager.OpenSource(s.path, s.kind, "secret");
          ok = 0;
          for (int k = 0; k < 500; ++k) {
            CStream stream;
            std::vector<uint8_t> bytes;
            if (SUCCEEDED(manager.OpenStream(L"r" + std::to_wstring(k) + L".xml", stream)) &&
                SUCCEEDED(stream.ReadAll(&bytes)) && bytes.size() == 4096)
              ++ok;
          }
        },
        5);
    std::printf("%d of 500 read\n", ok);
    Report(s.what, ms, bare);
  }
  return 0;
}
