// Rendering: a markup tree drawn into an off-screen bitmap gives the exact
// pixels of its solid, axis-aligned fills; skintool render writes the PNG.
#include <gtest/gtest.h>

#include <algorithm>

#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>

#include "testsupport/winhost.h"
#include "ui/graphic.h"
#include "ui/render.h"
#include "ui/resource_manager.h"
#include "ui/tests/test_util.h"
#include "ui/window.h"
#include "ui/xml_parser.h"

namespace varnak::ui {
namespace {

const char kSkin[] = R"(<Window Width="120" Height="80" ForceGdiplus="true">
 <DockPanel Name="Root" Background="255,255,255">
  <Panel Height="20" DockPanel.Dock="Top" Background="255,0,0"/>
  <Panel Width="30" DockPanel.Dock="Left" Background="0,0,255"/>
  <GridPanel Background="0,255,0">
   <GridPanel.ColumnDefinitions><GridDefinition Width="1*"/><GridDefinition Width="1*"/></GridPanel.ColumnDefinitions>
   <Panel GridPanel.GridPos="1,0" Margin="5,5,5,5" Background="0,0,0"/>
   <Panel Visible="false" Background="255,0,255"/>
  </GridPanel>
 </DockPanel>
</Window>)";

TEST(Render, SolidFillsLandOnExactPixels) {
  CWindowX* window = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(kSkin, sizeof kSkin - 1, &window), S_OK);
  SetWindowPos(window->hwnd(), nullptr, 0, 0, 120, 80, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  window->GetContent()->InvalidateLayout(false);
  std::vector<uint32_t> px;
  ASSERT_EQ(RenderToPixels(window->GetContent(), 120, 80, &px), S_OK);
  auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * 120 + x]; };
  struct Probe {
    int x, y;
    uint32_t argb;
  } probes[] = {
      {0, 0, 0xFFFF0000},   {119, 19, 0xFFFF0000}, {0, 20, 0xFF0000FF},  {29, 79, 0xFF0000FF},
      {30, 20, 0xFF00FF00}, {74, 79, 0xFF00FF00},  {75, 20, 0xFF00FF00}, {79, 24, 0xFF00FF00},
      {80, 25, 0xFF000000}, {114, 74, 0xFF000000}, {115, 75, 0xFF00FF00}, {119, 79, 0xFF00FF00},
  };
  for (const Probe& p : probes) EXPECT_EQ(at(p.x, p.y), p.argb) << p.x << "," << p.y;
  window->Release();
}

TEST(Render, RefusedGradientsAreSkippedAndMarginsShrinkBrushes) {
  const char skin[] = R"(<Window Width="40" Height="10">
   <StackPanel AlignmentMajor="Left">
    <Panel Width="10"><Panel.Background><LinearGradientBrush ColorStart="255,255,0,0"/></Panel.Background></Panel>
    <Panel Width="10" Background="0,0,255"/>
    <Panel Width="10"><Panel.Background>
      <LinearGradientBrush PointEnd="1,0" ColorStart="255,255,0,0" ColorEnd="255,0,255,0">
        <LinearGradientBrush.GradientStops><GradientStop OffsetF="0.5" Color="1,2,3"/></LinearGradientBrush.GradientStops>
      </LinearGradientBrush></Panel.Background></Panel>
    <Panel Width="10"><Panel.Background><SolidBrush Color="0,0,0" Margin="2,2,2,2"/></Panel.Background></Panel>
   </StackPanel>
  </Window>)";
  CWindowX* window = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(skin, sizeof skin - 1, &window), S_OK);
  SetWindowPos(window->hwnd(), nullptr, 0, 0, 40, 10, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  window->GetContent()->InvalidateLayout(false);
  std::vector<uint32_t> px;
  ASSERT_EQ(RenderToPixels(window->GetContent(), 40, 10, &px), S_OK);
  EXPECT_EQ(px[5 * 40 + 5], 0u);             // two equal points: nothing drawn
  EXPECT_EQ(px[5 * 40 + 15], 0xFF0000FFu);   // and the pass went on
  EXPECT_EQ(px[5 * 40 + 20] >> 24, 0xFFu);   // a real gradient paints its cell
  EXPECT_EQ(px[5 * 40 + 25] >> 24, 0xFFu);
  EXPECT_EQ(px[1 * 40 + 35], 0u);            // the brush margin
  EXPECT_EQ(px[5 * 40 + 35], 0xFF000000u);
  window->Release();
}

TEST(Render, APaintRedrawsOnlyTheDirtyRectangle) {
  CWindowX* window = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(kSkin, sizeof kSkin - 1, &window), S_OK);
  SetWindowPos(window->hwnd(), nullptr, 0, 0, 120, 80, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  window->GetContent()->InvalidateLayout(false);
  COffscreenBuffer buffer;
  ASSERT_TRUE(buffer.Resize(120, 80));
  ASSERT_EQ(buffer.Paint(window->GetContent(), nullptr), S_OK);
  CPanelX* root = window->GetContent();
  root->GetChild(0)->SetBackgroundColor(0xFF101010);  // the top strip, not repainted
  root->GetChild(1)->SetBackgroundColor(0xFF202020);  // the left strip
  RECT left;
  root->GetChild(1)->GetRect(&left, false);
  ASSERT_EQ(buffer.Paint(root, &left), S_OK);
  EXPECT_EQ(buffer.pixels()[0], 0xFFFF0000u);            // outside the dirty rectangle: as before
  EXPECT_EQ(buffer.pixels()[30 * 120 + 10], 0xFF202020u);  // inside: the new colour
  EXPECT_EQ(buffer.pixels()[30 * 120 + 50], 0xFF00FF00u);
  window->Release();
}

TEST(Render, ImagesFromTheSkinKeepTheirPixels) {
  varnak::test::TempFolder dir;
  // a 4 x 2 picture: red on the left half, blue on the right
  std::vector<uint32_t> picture = {0xFFFF0000, 0xFFFF0000, 0xFF0000FF, 0xFF0000FF,
                                   0xFFFF0000, 0xFFFF0000, 0xFF0000FF, 0xFF0000FF};
  ASSERT_EQ(SavePng(test::Wide(dir.File("pic.png")), picture, 4, 2), S_OK);
  ASSERT_EQ(GetResourceManager().OpenSource(test::Wide(dir.path()), SOURCE_FOLDER, ""), S_OK);
  const char skin[] = R"(<Window Width="30" Height="10">
   <StackPanel AlignmentMajor="Left">
    <Panel Width="10"><Panel.Background>
      <Image ImageSource="pic.png" ImageStretch="None" AlignmentX="Left" AlignmentY="Top"/></Panel.Background></Panel>
    <Panel Width="10"><Panel.Background>
      <Image ImageSource="pic.png" ImageStretch="None" ImageClip="2,0,4,2" AlignmentX="Right" AlignmentY="Bottom"/>
    </Panel.Background></Panel>
    <Panel Width="10"><Panel.Background><Image ImageSource="missing.png"/></Panel.Background></Panel>
   </StackPanel>
  </Window>)";
  CWindowX* window = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(skin, sizeof skin - 1, &window), S_OK);
  SetWindowPos(window->hwnd(), nullptr, 0, 0, 30, 10, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  window->GetContent()->InvalidateLayout(false);
  std::vector<uint32_t> px;
  ASSERT_EQ(RenderToPixels(window->GetContent(), 30, 10, &px), S_OK);
  auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * 30 + x]; };
  EXPECT_EQ(at(0, 0), 0xFFFF0000u);
  EXPECT_EQ(at(1, 1), 0xFFFF0000u);
  EXPECT_EQ(at(2, 0), 0xFF0000FFu);
  EXPECT_EQ(at(3, 1), 0xFF0000FFu);
  EXPECT_EQ(at(4, 0), 0u);
  EXPECT_EQ(at(0, 2), 0u);
  // the clipped blue half, drawn at the picture's size (4 x 2) at the bottom
  // right; only inner pixels, since the stretched edges are interpolated
  EXPECT_EQ(at(17, 8), 0xFF0000FFu);
  EXPECT_EQ(at(18, 8), 0xFF0000FFu);
  EXPECT_EQ(at(15, 9), 0u);
  EXPECT_EQ(at(17, 7), 0u);
  EXPECT_EQ(at(25, 5), 0u);  // a missing picture draws nothing and ends nothing
  window->Release();

  // the same picture tiled by an image brush across a 12 x 4 panel
  const char tiled[] = R"(<Window Width="12" Height="4"><Panel>
    <Panel.Background><ImageBrush ImageSource="pic.png" WrapMode="Tile"/></Panel.Background></Panel></Window>)";
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(tiled, sizeof tiled - 1, &window), S_OK);
  SetWindowPos(window->hwnd(), nullptr, 0, 0, 12, 4, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  window->GetContent()->InvalidateLayout(false);
  ASSERT_EQ(RenderToPixels(window->GetContent(), 12, 4, &px), S_OK);
  for (int x : {0, 4, 8}) {
    EXPECT_EQ(px[static_cast<size_t>(x)], 0xFFFF0000u) << x;
    EXPECT_EQ(px[static_cast<size_t>(3 * 12 + x + 2)], 0xFF0000FFu) << x;
  }
  window->Release();
}

TEST(Render, TextsDrawEvenWithoutAFamilyGdiplusKnows) {
  const char skin[] = R"(<Window Width="90" Height="30">
   <StackPanel AlignmentMajor="Left">
    <Panel Width="30"><Panel.Background>
      <Text Text="WWW" FontFamily="No Such Family" FontSize="20" Foreground="0,0,0" AlignmentX="Left"/>
    </Panel.Background></Panel>
    <Panel Width="30"><Panel.Background><Text Text="" FontFamily="Tahoma"/></Panel.Background></Panel>
    <Panel Width="30" Background="0,0,255"/>
   </StackPanel>
  </Window>)";
  CWindowX* window = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(skin, sizeof skin - 1, &window), S_OK);
  SetWindowPos(window->hwnd(), nullptr, 0, 0, 90, 30, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  window->GetContent()->InvalidateLayout(false);
  std::vector<uint32_t> px;
  ASSERT_EQ(RenderToPixels(window->GetContent(), 90, 30, &px), S_OK);
  int inked = 0, in_empty = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) (x < 30 ? inked : in_empty) += (px[static_cast<size_t>(y) * 90 + x] >> 24) != 0;
  EXPECT_GT(inked, 10);     // glyphs through GDI font mapping
  EXPECT_EQ(in_empty, 0);   // an empty text draws nothing
  EXPECT_EQ(px[15 * 90 + 75], 0xFF0000FFu);  // and the pass went on
  window->Release();
}

TEST(Render, Direct2DFillsTheSameRectangles) {
  if (!Direct2DAvailable()) GTEST_SKIP() << "no Direct2D here";
  CWindowX* window = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(kSkin, sizeof kSkin - 1, &window), S_OK);
  SetWindowPos(window->hwnd(), nullptr, 0, 0, 120, 80, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  window->GetContent()->InvalidateLayout(false);
  std::vector<uint32_t> gdiplus, direct2d;
  ASSERT_EQ(RenderToPixels(window->GetContent(), 120, 80, &gdiplus), S_OK);
  ASSERT_EQ(RenderToPixelsDirect2D(window->GetContent(), 120, 80, &direct2d), S_OK);
  EXPECT_TRUE(gdiplus == direct2d);  // opaque, axis-aligned fills: the same pixels
  window->Release();
  // pictures and texts end the pass on Direct2D
  const char text[] = "<Window Width=\"20\" Height=\"20\"><Panel><Panel.Background><Text Text=\"x\"/></Panel.Background></Panel></Window>";
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(text, sizeof text - 1, &window), S_OK);
  EXPECT_EQ(RenderToPixelsDirect2D(window->GetContent(), 20, 20, &direct2d), E_FAIL);
  window->Release();
}

TEST(Render, ControlBordersAndGridLines) {
  const char skin[] = R"(<Window Width="60" Height="20" ForceGdiplus="true">
   <StackPanel AlignmentMajor="Left">
    <Control Width="20" BorderBrush="255,0,0" BorderWidth="4"><Panel Background="0,0,255"/></Control>
    <GridPanel Width="40" GridLineBrush="0,0,0">
     <GridPanel.ColumnDefinitions><GridDefinition Width="1*"/><GridDefinition Width="1*"/></GridPanel.ColumnDefinitions>
    </GridPanel>
   </StackPanel>
  </Window>)";
  CWindowX* window = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(skin, sizeof skin - 1, &window), S_OK);
  SetWindowPos(window->hwnd(), nullptr, 0, 0, 60, 20, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  window->GetContent()->InvalidateLayout(false);
  std::vector<uint32_t> px;
  ASSERT_EQ(RenderToPixels(window->GetContent(), 60, 20, &px), S_OK);
  auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * 60 + x]; };
  EXPECT_EQ(at(1, 1), 0xFFFF0000u);   // the border
  EXPECT_EQ(at(18, 10), 0xFFFF0000u);
  EXPECT_EQ(at(4, 4), 0xFF0000FFu);   // the child, inset by the border width
  EXPECT_EQ(at(10, 10), 0xFF0000FFu);
  EXPECT_EQ(at(39, 5), 0xFF000000u);  // grid line at the column edge 40
  EXPECT_EQ(at(59, 5), 0xFF000000u);  // and at the right border
  EXPECT_EQ(at(45, 5), 0u);
  EXPECT_EQ(at(45, 19), 0xFF000000u);  // the row edge at the bottom
  window->Release();
}

TEST(Render, DraggingStaysInsideTheRange) {
  const char skin[] = R"(<Window Width="100" Height="100">
   <Panel><Control Name="C" Width="10" Height="10" Panel.AlignmentX="Left" Panel.AlignmentY="Top"
                   DragCtrl="true" DragOffsetRange="0,0,30,20"/></Panel>
  </Window>)";
  CWindowX* window = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(skin, sizeof skin - 1, &window), S_OK);
  SetWindowPos(window->hwnd(), nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  window->GetContent()->InvalidateLayout(false);
  CPanelX* c = window->GetContent()->GetChild(0);
  c->SimulateMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
  c->SimulateMessage(WM_MOUSEMOVE, 0, MAKELPARAM(25, 15));
  RECT r;
  c->GetRect(&r, false);
  EXPECT_EQ(r.left, 20);
  EXPECT_EQ(r.top, 10);
  c->SimulateMessage(WM_MOUSEMOVE, 0, MAKELPARAM(95, 95));  // past the range: stops at 30,20
  c->GetRect(&r, false);
  EXPECT_EQ(r.left, 30);
  EXPECT_EQ(r.top, 20);
  c->SimulateMessage(WM_MOUSEMOVE, 0, MAKELPARAM(85, 85));  // moving back moves at once
  c->GetRect(&r, false);
  EXPECT_EQ(r.left, 20);
  EXPECT_EQ(r.top, 10);
  // a pointer left of the client area while captured reads as negative
  c->SimulateMessage(WM_MOUSEMOVE, 0, MAKELPARAM(-40, 5));
  c->GetRect(&r, false);
  EXPECT_EQ(r.left, 0);
  c->SimulateMessage(WM_LBUTTONUP, 0, MAKELPARAM(0, 5));
  window->Release();
}

TEST(Render, RichTextRunsTakeTheirOwnColours) {
  const char skin[] = R"(<Window Width="120" Height="30">
   <Panel><Panel.Background>
    <Text Rich="true" FontFamily="DejaVu Sans" FontSize="20" Foreground="255,0,0"
          Text="MMM[.]color=0,0,255;bold=true[/.]MMM"/>
   </Panel.Background></Panel>
  </Window>)";
  CWindowX* window = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(skin, sizeof skin - 1, &window), S_OK);
  SetWindowPos(window->hwnd(), nullptr, 0, 0, 120, 30, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  window->GetContent()->InvalidateLayout(false);
  std::vector<uint32_t> px;
  ASSERT_EQ(RenderToPixels(window->GetContent(), 120, 30, &px), S_OK);
  int red = 0, blue = 0, red_right_of_blue = 0, first_blue = 120;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      const uint32_t c = px[static_cast<size_t>(y) * 120 + x];
      const int a = c >> 24, rr = (c >> 16) & 255, b = c & 255;
      if (a > 200 && b > 200 && rr < 60) {
        ++blue;
        first_blue = std::min(first_blue, x);
      }
    }
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      const uint32_t c = px[static_cast<size_t>(y) * 120 + x];
      if ((c >> 24) > 200 && ((c >> 16) & 255) > 200 && (c & 255) < 60) {
        ++red;
        red_right_of_blue += x > first_blue;
      }
    }
  EXPECT_GT(red, 20);
  EXPECT_GT(blue, 20);
  EXPECT_EQ(red_right_of_blue, 0);  // the blue run follows the red one
  window->Release();
}

TEST(Render, TheWindowPaintsFromItsBackBuffer) {
  CWindowX* window = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(kSkin, sizeof kSkin - 1, &window), S_OK);
  HWND hwnd = window->hwnd();
  SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 120, 80, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  auto pump = [] {
    for (int k = 0; k < 20; ++k) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(10);
    }
  };
  UpdateWindow(hwnd);
  pump();
  HDC dc = GetDC(hwnd);
  EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 10, 40), RGB(0, 0, 255));
  // a change repaints through the dirty rectangle
  window->GetContent()->GetChild(1)->SetBackgroundColor(0xFF202020);
  pump();
  EXPECT_EQ(GetPixel(dc, 10, 40), RGB(0x20, 0x20, 0x20));
  ReleaseDC(hwnd, dc);
  window->Release();
}

TEST(Render, LayeredWindowsShowTheirOpaquePixels) {
  const char skin[] = R"(<LayeredWindow Width="60" Height="40" MaxAlpha="-1">
    <Panel Background="255,0,0"><Panel Width="20" Height="20" Background="0,0,255"/></Panel></LayeredWindow>)";
  CWindowX* window = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(skin, sizeof skin - 1, &window), S_OK);
  CLayeredWindowX* layered = dynamic_cast<CLayeredWindowX*>(window);
  ASSERT_NE(layered, nullptr);
  EXPECT_EQ(layered->GetMaxAlpha(), 255);
  EXPECT_TRUE(GetWindowLongW(window->hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
  SetWindowPos(window->hwnd(), HWND_TOPMOST, 50, 50, 60, 40, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  window->GetContent()->InvalidateLayout(true);  // paints at once
  for (int k = 0; k < 20; ++k) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(10);
  }
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetPixel(screen, 52, 52), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(screen, 80, 70), RGB(0, 0, 255));
  ReleaseDC(nullptr, screen);
  window->Release();
}

TEST(Render, LinesAndTextMeasures) {
  std::vector<uint32_t> px;
  const char skin[] = "<Window><Panel><Panel.Background><Text Text=\"x\"/></Panel.Background></Panel></Window>";
  CWindowX* window = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(skin, sizeof skin - 1, &window), S_OK);
  ASSERT_TRUE(EnsureGdiplus());
  Gdiplus::GpBitmap* bitmap = nullptr;
  px.assign(20 * 20, 0);
  ASSERT_EQ(Gdiplus::DllExports::GdipCreateBitmapFromScan0(20, 20, 80, PixelFormat32bppARGB,
                                                           reinterpret_cast<BYTE*>(px.data()), &bitmap),
            Gdiplus::Ok);
  Gdiplus::GpGraphics* graphics = nullptr;
  ASSERT_EQ(Gdiplus::DllExports::GdipGetImageGraphicsContext(bitmap, &graphics), Gdiplus::Ok);
  CGpRenderX* renderer = new CGpRenderX();
  renderer->AddRef();
  renderer->SetTarget(graphics);
  CTextX* text = new CTextX();
  text->AddRef();
  text->SetText(L"x");
  SIZE one, three;
  ASSERT_EQ(renderer->MeasureText(&one, text), S_OK);
  text->SetText(L"xxx");
  ASSERT_EQ(renderer->MeasureText(&three, text), S_OK);
  EXPECT_GT(one.cx, 0);
  EXPECT_GT(three.cx, one.cx);
  CSolidBrushX* brush = new CSolidBrushX();
  brush->AddRef();
  brush->SetColor(0xFF00FF00);
  EXPECT_EQ(renderer->DrawLine(POINT{0, 10}, POINT{19, 10}, static_cast<IGraphicX*>(brush), 3), S_OK);
  Gdiplus::DllExports::GdipFlush(graphics, Gdiplus::FlushIntentionSync);
  EXPECT_EQ(px[10 * 20 + 10], 0xFF00FF00u);
  EXPECT_EQ(px[2 * 20 + 10], 0u);
  brush->Release();
  text->Release();
  renderer->Release();
  Gdiplus::DllExports::GdipDeleteGraphics(graphics);
  Gdiplus::DllExports::GdipDisposeImage(bitmap);
  window->Release();
}

TEST(Render, SkintoolRendersASkinFolderToPng) {
  varnak::test::TempFolder dir;
  CreateDirectoryA(dir.File("skin").c_str(), nullptr);
  CreateDirectoryA(dir.File("skin\\Xmls").c_str(), nullptr);
  ASSERT_TRUE(test::WriteBytes(dir.File("skin\\Xmls\\Default.xml"), kSkin));
  const std::string tool = "\"" + varnak::test::BinDir() + "\\skintool.exe\" render ";
  EXPECT_EQ(varnak::test::RunProcess(tool + "\"" + dir.File("skin") + "\" \"" + dir.File("out.png") + "\" --size 60x40"), 0);
  std::string png;
  ASSERT_TRUE(varnak::test::ReadFileBytes(dir.File("out.png"), &png));
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(static_cast<unsigned char>(png[19]), 60u);  // IHDR width
  EXPECT_EQ(static_cast<unsigned char>(png[23]), 40u);  // IHDR height
  ASSERT_TRUE(test::WriteBytes(dir.File("skin\\Xmls\\Default.xml"), "<Window><Nope/></Window>"));
  EXPECT_EQ(varnak::test::RunProcess(tool + "\"" + dir.File("skin") + "\" \"" + dir.File("bad.png") + "\""), 1);
}

}  // namespace
}  // namespace varnak::ui
