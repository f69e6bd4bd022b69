// Rendering: a markup tree drawn into an off-screen bitmap gives the exact
// pixels of its solid, axis-aligned fills; skintool render writes the PNG.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>

#include "testsupport/winhost.h"
#include "ui/globals.h"
#include "ui/control_container.h"
#include "ui/graphic.h"
#include "ui/render.h"
#include "ui/resource_manager.h"
#include "ui/tests/test_util.h"
#include "ui/window.h"
#include "ui/xml_parser.h"

namespace varnak::ui {
namespace {

// Lets the window take its pending messages (paints included) for about 200 ms.
void PumpFor200Ms() {
  for (int k = 0; k < 20; ++k) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(10);
  }
}

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

// Lays a skin out at width x height; the window is released by the caller.
CWindowX* LoadAt(const char* skin, size_t size, int width, int height) {
  CWindowX* window = nullptr;
  if (CXmlParserX().LoadWindowFromBytes(skin, size, &window) != S_OK) return nullptr;
  SetWindowPos(window->hwnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  window->GetContent()->InvalidateLayout(false);
  return window;
}

TEST(Render, Direct2DGradientsUseTheirStopsAndExtendMode) {
  if (!Direct2DAvailable()) GTEST_SKIP() << "no Direct2D here";
  // only solid parts are compared: the clamped ends of a gradient, and
  // gradients whose stops all have one colour
  const char skin[] = R"(<Window Width="80" Height="10">
   <StackPanel AlignmentMajor="Left">
    <Panel Width="20"><Panel.Background>
      <LinearGradientBrush PointStart="0.25,0" PointEnd="0.5,0" ColorStart="255,255,0,0" ColorEnd="255,0,0,255"/>
    </Panel.Background></Panel>
    <Panel Width="20"><Panel.Background>
      <LinearGradientBrush PointEnd="1,0" ExtendMode="Wrap" Gamma="Gamma10">
        <LinearGradientBrush.GradientStops>
          <GradientStop OffsetF="0" Color="0,255,0"/><GradientStop OffsetF="1" Color="0,255,0"/>
        </LinearGradientBrush.GradientStops></LinearGradientBrush>
    </Panel.Background></Panel>
    <Panel Width="20"><Panel.Background>
      <LinearGradientBrush PointEnd="0,1" ColorStart="255,0,0" ColorEnd="255,0,0" ExtendMode="Mirror">
        <LinearGradientBrush.GradientStops><GradientStop OffsetF="0.5" Color="0,0,255"/></LinearGradientBrush.GradientStops>
      </LinearGradientBrush></Panel.Background></Panel>
    <Panel Width="20" Background="0,0,0"/>
   </StackPanel>
  </Window>)";
  CWindowX* window = LoadAt(skin, sizeof skin - 1, 80, 10);
  ASSERT_NE(window, nullptr);
  std::vector<uint32_t> px;
  ASSERT_EQ(RenderToPixelsDirect2D(window->GetContent(), 80, 10, &px), S_OK);
  auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * 80 + x]; };
  struct Probe {
    int x, y;
    uint32_t argb;
  } probes[] = {
      {0, 5, 0xFFFF0000},  {3, 5, 0xFFFF0000},   // before the start point: the start colour
      {12, 5, 0xFF0000FF}, {19, 5, 0xFF0000FF},  // past the end point: the end colour
      {20, 0, 0xFF00FF00}, {39, 9, 0xFF00FF00},  // two stops of one colour
      {40, 0, 0xFF0000FF}, {59, 9, 0xFF0000FF},  // a single stop: its colour, not start and end
      {60, 5, 0xFF000000},                       // and the pass went on
  };
  for (const Probe& p : probes) EXPECT_EQ(at(p.x, p.y), p.argb) << p.x << "," << p.y;
  const uint32_t middle = at(7, 5);  // inside the gradient: a blend of both
  EXPECT_NE(middle, 0xFFFF0000u);
  EXPECT_NE(middle, 0xFF0000FFu);
  EXPECT_EQ(middle >> 24, 0xFFu);

  // the back buffer of a window gets the same pixels through its Direct2D renderer
  IRenderX* renderer = nullptr;
  ASSERT_EQ(CreateDirect2DRenderer(&renderer), S_OK);
  COffscreenBuffer buffer;
  ASSERT_TRUE(buffer.Resize(80, 10));
  ASSERT_EQ(buffer.Paint(window->GetContent(), nullptr, renderer), S_OK);
  for (const Probe& p : probes) EXPECT_EQ(buffer.pixels()[static_cast<size_t>(p.y) * 80 + p.x], p.argb) << p.x;
  renderer->Release();
  window->Release();
}

TEST(Render, TheBackBufferTakesGdiDrawingAndKeepsItsPixelsWhenItGrows) {
  CWindowX* window = LoadAt(kSkin, sizeof kSkin - 1, 120, 80);
  ASSERT_NE(window, nullptr);
  COffscreenBuffer buffer;
  EXPECT_EQ(buffer.dc(), nullptr);
  EXPECT_TRUE(buffer.pixels().empty());
  ASSERT_TRUE(buffer.Resize(120, 80));
  ASSERT_EQ(buffer.Paint(window->GetContent(), nullptr), S_OK);
  const std::vector<uint32_t> before = buffer.pixels();
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  const RECT corner = {0, 0, 10, 10};
  FillRect(buffer.dc(), &corner, blue);
  DeleteObject(blue);
  EXPECT_EQ(buffer.pixels()[5 * 120 + 5] & 0xFFFFFFu, 0x0000FFu);  // GDI's pixels, read from the top
  EXPECT_EQ(buffer.pixels()[79 * 120 + 5], before[79 * 120 + 5]);
  HDC dc = buffer.dc();
  ASSERT_TRUE(buffer.Resize(200, 100));
  EXPECT_EQ(buffer.dc(), dc);
  ASSERT_EQ(buffer.width(), 200);
  ASSERT_EQ(buffer.height(), 100);
  const std::vector<uint32_t> grown = buffer.pixels();
  EXPECT_EQ(grown[5 * 200 + 5] & 0xFFFFFFu, 0x0000FFu);
  for (int y : {20, 40, 79})
    for (int x : {15, 60, 119}) EXPECT_EQ(grown[y * 200 + x], before[y * 120 + x]) << x << "," << y;
  EXPECT_EQ(grown[90 * 200 + 150], 0u);  // new pixels are transparent
  ASSERT_TRUE(buffer.Resize(50, 50));  // never shrinks
  EXPECT_EQ(buffer.width(), 200);
  EXPECT_EQ(buffer.height(), 100);
  // a paint without content only clears the rectangle
  const RECT strip = {0, 0, 200, 10};
  EXPECT_EQ(buffer.Paint(nullptr, &strip), S_FALSE);
  EXPECT_EQ(buffer.pixels()[5 * 200 + 5], 0u);
  window->Release();
}

TEST(Render, Direct2DBackBuffersRepaintOnlyTheDirtyRectangle) {
  if (!Direct2DAvailable()) GTEST_SKIP() << "no Direct2D here";
  CWindowX* window = LoadAt(kSkin, sizeof kSkin - 1, 120, 80);
  ASSERT_NE(window, nullptr);
  IRenderX* renderer = nullptr;
  ASSERT_EQ(CreateDirect2DRenderer(&renderer), S_OK);
  COffscreenBuffer buffer;
  ASSERT_TRUE(buffer.Resize(120, 80));
  ASSERT_EQ(buffer.Paint(window->GetContent(), nullptr, renderer), S_OK);
  std::vector<uint32_t> gdiplus;
  ASSERT_EQ(RenderToPixels(window->GetContent(), 120, 80, &gdiplus), S_OK);
  EXPECT_TRUE(buffer.pixels() == gdiplus);
  CPanelX* root = window->GetContent();
  root->GetChild(0)->SetBackgroundColor(0xFF101010);  // the top strip, not repainted
  root->GetChild(1)->SetBackgroundColor(0xFF202020);  // the left strip
  RECT left;
  root->GetChild(1)->GetRect(&left, false);
  ASSERT_EQ(buffer.Paint(root, &left, renderer), S_OK);
  EXPECT_EQ(buffer.pixels()[0], 0xFFFF0000u);
  EXPECT_EQ(buffer.pixels()[30 * 120 + 10], 0xFF202020u);
  EXPECT_EQ(buffer.pixels()[30 * 120 + 50], 0xFF00FF00u);
  // Direct2D draws premultiplied; the buffer keeps straight alpha like GDI+
  const char glass[] = R"(<Window><Panel Background="128,32,32,32"/></Window>)";
  CWindowX* half = LoadAt(glass, sizeof glass - 1, 10, 10);
  ASSERT_NE(half, nullptr);
  COffscreenBuffer tiny;
  ASSERT_TRUE(tiny.Resize(10, 10));
  ASSERT_EQ(tiny.Paint(half->GetContent(), nullptr, renderer), S_OK);
  const uint32_t c = tiny.pixels()[55];
  EXPECT_EQ(c >> 24, 0x80u);
  for (int shift : {0, 8, 16}) EXPECT_NEAR(static_cast<int>((c >> shift) & 255), 0x20, 1) << shift;
  half->Release();
  // a text ends the pass on Direct2D: what follows it is not drawn
  const char text[] = R"(<Window><StackPanel AlignmentMajor="Left">
    <Panel Width="10" Background="255,0,0"/>
    <Panel Width="10"><Panel.Background><Text Text="x"/></Panel.Background></Panel>
    <Panel Width="10" Background="0,0,255"/></StackPanel></Window>)";
  CWindowX* texts = LoadAt(text, sizeof text - 1, 30, 10);
  ASSERT_NE(texts, nullptr);
  COffscreenBuffer small;
  ASSERT_TRUE(small.Resize(30, 10));
  EXPECT_EQ(small.Paint(texts->GetContent(), nullptr, renderer), E_FAIL);
  EXPECT_EQ(small.pixels()[5 * 30 + 5], 0xFFFF0000u);
  EXPECT_EQ(small.pixels()[5 * 30 + 25], 0u);
  texts->Release();
  renderer->Release();
  window->Release();
}

TEST(Render, WindowsUseDirect2DUnlessTheSkinForcesGdiplus) {
  const char skin[] = R"(<Window Width="120" Height="80">
   <DockPanel Background="255,255,255">
    <Panel Height="20" DockPanel.Dock="Top" Background="255,0,0"/>
    <Panel Width="30" DockPanel.Dock="Left" Background="0,0,255"/>
    <Panel><Panel.Background><LinearGradientBrush PointEnd="0,1" ColorStart="0,255,0" ColorEnd="0,255,0"/>
    </Panel.Background></Panel>
   </DockPanel>
  </Window>)";
  CWindowX* window = nullptr;
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(kSkin, sizeof kSkin - 1, &window), S_OK);
  ASSERT_NE(window->renderer(), nullptr);
  EXPECT_EQ(window->renderer()->IsDirect2D(), 0);  // ForceGdiplus
  window->Release();
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(skin, sizeof skin - 1, &window), S_OK);
  ASSERT_NE(window->renderer(), nullptr);
  EXPECT_EQ(window->renderer()->IsDirect2D(), Direct2DAvailable() ? 1 : 0);
  HWND hwnd = window->hwnd();
  SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 120, 80, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  UpdateWindow(hwnd);
  PumpFor200Ms();
  HDC dc = GetDC(hwnd);
  EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 10, 40), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 80, 50), RGB(0, 255, 0));  // the gradient of one colour
  window->GetContent()->GetChild(1)->SetBackgroundColor(0xFF202020);
  PumpFor200Ms();
  for (int y : {20, 25, 40, 79}) EXPECT_EQ(GetPixel(dc, 10, y), RGB(0x20, 0x20, 0x20)) << y;  // the whole strip
  EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 35, 25), RGB(0, 255, 0));
  ReleaseDC(hwnd, dc);
  window->Release();
  if (!Direct2DAvailable()) return;
  // a text ends the pass there; the window still shows what came before it
  const char text[] = R"(<Window Width="60" Height="20"><StackPanel AlignmentMajor="Left">
    <Panel Width="20" Background="255,0,0"/>
    <Panel Width="20"><Panel.Background><Text Text="x"/></Panel.Background></Panel>
    <Panel Width="20" Background="0,0,255"/></StackPanel></Window>)";
  ASSERT_EQ(CXmlParserX().LoadWindowFromBytes(text, sizeof text - 1, &window), S_OK);
  hwnd = window->hwnd();
  SetWindowPos(hwnd, HWND_TOPMOST, 300, 300, 60, 20, SWP_NOACTIVATE | SWP_SHOWWINDOW);  // where nothing red was
  UpdateWindow(hwnd);
  PumpFor200Ms();
  dc = GetDC(hwnd);
  EXPECT_EQ(GetPixel(dc, 10, 10), RGB(255, 0, 0));
  EXPECT_NE(GetPixel(dc, 50, 10), RGB(0, 0, 255));
  ReleaseDC(hwnd, dc);
  window->Release();
}

TEST(Render, TargetsMadeFromDeviceContextsKeepToTheirBounds) {
  struct Backend {
    const char* name;
    HRESULT (*make)(IRenderX**);
  } backends[] = {{"GDI+", &CreateGdiplusRenderer}, {"Direct2D", &CreateDirect2DRenderer}};
  for (const Backend& b : backends) {
    IRenderX* renderer = nullptr;
    if (b.make(&renderer) == E_NOTIMPL) continue;  // no Direct2D here
    ASSERT_NE(renderer, nullptr) << b.name;
    EXPECT_FALSE(renderer->HasTarget());
    CSolidBrushX* brush = new CSolidBrushX();
    brush->AddRef();
    brush->SetColor(0xFFFF0000);
    EXPECT_EQ(renderer->FillRect(RECT{0, 0, 4, 4}, static_cast<IGraphicX*>(brush), 0, 0), E_FAIL) << b.name;
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof bi.bmiHeader, 40, -40, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    HGDIOBJ old = SelectObject(dc, dib);
    ASSERT_EQ(renderer->CreateTargetFromDc(dc, RECT{10, 10, 30, 30}), S_OK) << b.name;
    EXPECT_TRUE(renderer->HasTarget());
    ASSERT_EQ(renderer->BeginDraw(), S_OK);
    EXPECT_EQ(renderer->FillRect(RECT{0, 0, 40, 40}, static_cast<IGraphicX*>(brush), 0, 0), S_OK) << b.name;
    EXPECT_EQ(renderer->FillRect(RECT{0, 0, 40, 40}, nullptr, 0, 0), E_INVALIDARG) << b.name;
    // inverted clips let nothing through
    brush->SetColor(0xFF0000FF);
    for (const RECT& inverted : {RECT{20, 12, 15, 28}, RECT{12, 20, 28, 15}, RECT{25, 25, 12, 12}}) {
      ASSERT_EQ(renderer->SetClip(&inverted), S_OK) << b.name;
      EXPECT_EQ(renderer->FillRect(RECT{0, 0, 40, 40}, static_cast<IGraphicX*>(brush), 0, 0), S_OK) << b.name;
    }
    ASSERT_EQ(renderer->SetClip(nullptr), S_OK);  // no clip: still only the bounds
    brush->SetColor(0xFF00FF00);
    EXPECT_EQ(renderer->FillRect(RECT{0, 0, 40, 20}, static_cast<IGraphicX*>(brush), 0, 0), S_OK) << b.name;
    EXPECT_EQ(renderer->EndDraw(), S_OK) << b.name;
    renderer->SetTarget(nullptr);
    GdiFlush();
    const uint32_t* px = static_cast<const uint32_t*>(bits);
    EXPECT_EQ(px[10 * 40 + 10] & 0xFFFFFF, 0x00FF00u) << b.name;  // device coordinates, inside the bounds
    EXPECT_EQ(px[29 * 40 + 29] & 0xFFFFFF, 0xFF0000u) << b.name;
    EXPECT_EQ(px[20 * 40 + 20] & 0xFFFFFF, 0xFF0000u) << b.name;  // not blue: the inverted clips held
    EXPECT_EQ(px[9 * 40 + 9], 0u) << b.name;  // outside them: untouched
    EXPECT_EQ(px[5 * 40 + 20], 0u) << b.name;
    EXPECT_EQ(px[30 * 40 + 20], 0u) << b.name;
    EXPECT_EQ(px[20 * 40 + 30], 0u) << b.name;
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);

    // a target drawing straight into a window
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(renderer->CreateTargetFromWindow(hwnd, SIZE{50, 50}), S_OK) << b.name;
    EXPECT_TRUE(renderer->HasTarget()) << b.name;
    EXPECT_EQ(renderer->CreateTargetFromWindow(nullptr, SIZE{50, 50}), E_INVALIDARG) << b.name;
    renderer->SetTarget(nullptr);
    DestroyWindow(hwnd);
    brush->Release();
    renderer->Release();
  }
}

TEST(Render, StringsAreMeasuredWithGdiplusOnly) {
  IRenderX* gdiplus = nullptr;
  ASSERT_EQ(CreateGdiplusRenderer(&gdiplus), S_OK);
  SIZE size;
  EXPECT_EQ(gdiplus->MeasureString(&size, L"ab", L"DejaVu Sans", 20, 400, 0), E_FAIL);  // no target yet
  std::vector<uint32_t> px(16, 0);
  Gdiplus::GpBitmap* bitmap = nullptr;
  ASSERT_EQ(Gdiplus::DllExports::GdipCreateBitmapFromScan0(4, 4, 16, PixelFormat32bppARGB,
                                                           reinterpret_cast<BYTE*>(px.data()), &bitmap),
            Gdiplus::Ok);
  Gdiplus::GpGraphics* graphics = nullptr;
  ASSERT_EQ(Gdiplus::DllExports::GdipGetImageGraphicsContext(bitmap, &graphics), Gdiplus::Ok);
  gdiplus->SetTarget(graphics);
  SIZE one, two, bold, big;
  ASSERT_EQ(gdiplus->MeasureString(&one, L"W", L"DejaVu Sans", 20, 400, 0), S_OK);
  ASSERT_EQ(gdiplus->MeasureString(&two, L"WW", L"DejaVu Sans", 20, 400, 0), S_OK);
  ASSERT_EQ(gdiplus->MeasureString(&bold, L"WW", L"No Such Family", 20, 700, 2), S_OK);  // GDI font mapping
  ASSERT_EQ(gdiplus->MeasureString(&big, L"WW", L"DejaVu Sans", 40, 400, 0), S_OK);
  EXPECT_GT(one.cx, 0);
  EXPECT_GT(two.cx, one.cx);
  EXPECT_GT(bold.cx, 0);
  EXPECT_GT(big.cx, two.cx);
  EXPECT_GT(big.cy, two.cy);
  EXPECT_EQ(gdiplus->MeasureString(&size, L"", L"DejaVu Sans", 20, 400, 0), S_OK);
  EXPECT_EQ(size.cx, 0);
  EXPECT_EQ(gdiplus->MeasureString(&size, L"W", L"", 20, 400, 0), E_FAIL);
  EXPECT_EQ(gdiplus->MeasureString(&size, L"W", L"DejaVu Sans", 0, 400, 0), E_FAIL);
  gdiplus->SetTarget(nullptr);
  gdiplus->Release();
  Gdiplus::DllExports::GdipDeleteGraphics(graphics);
  Gdiplus::DllExports::GdipDisposeImage(bitmap);
  IRenderX* direct2d = nullptr;
  if (CreateDirect2DRenderer(&direct2d) == S_OK) {
    EXPECT_EQ(direct2d->MeasureString(&size, L"W", L"DejaVu Sans", 20, 400, 0), E_FAIL);
    direct2d->Release();
  }
}

uint32_t PixelOf(CImageX* image, int x, int y) {
  Gdiplus::ARGB c = 0;
  Gdiplus::DllExports::GdipBitmapGetPixel(static_cast<Gdiplus::GpBitmap*>(image->native()), x, y, &c);
  return c;
}

TEST(Render, ProgramIconsBecomePictures) {
  const std::string folder = varnak::test::BinDir() + "\\ui_fixtures";
  CImageX* image = new CImageX();
  image->AddRef();
  // the group with the smallest number (3: 16 x 16 red, its top-left quarter
  // transparent), not the other one (7: 32 x 32 blue)
  ASSERT_TRUE(image->LoadFromPath(test::Wide(folder + "\\ui_icon_fixture.exe")));
  EXPECT_EQ(image->GetImageWidth(), 16);
  EXPECT_EQ(image->GetImageHeight(), 16);
  EXPECT_EQ(PixelOf(image, 12, 12), 0xFFFF0000u);
  EXPECT_EQ(PixelOf(image, 2, 2) >> 24, 0u);
  // a relative name is taken from the skin folder, whatever its case
  ASSERT_EQ(GetResourceManager().OpenSource(test::Wide(folder), SOURCE_FOLDER, ""), S_OK);
  ASSERT_TRUE(image->LoadFromPath(L"UI_ICON_FIXTURE.EXE"));
  EXPECT_EQ(image->GetImageWidth(), 16);
  // no such program, or a file that is no program: an empty image
  varnak::test::TempFolder dir;
  ASSERT_TRUE(test::WriteBytes(dir.File("fake.exe"), "MZ but nothing else"));
  for (const std::string& path : {folder + "\\missing.exe", dir.File("fake.exe"), varnak::test::BinDir()}) {
    EXPECT_FALSE(image->LoadFromPath(test::Wide(path + (path.back() == 'e' ? "" : "\\ui_tests.exe")))) << path;
    EXPECT_EQ(image->GetImageWidth(), 0) << path;
  }
  image->Release();
}

TEST(Render, IconGroupsAreCheckedAgainstTheirSize) {
  // header (reserved, type 1, count) and 14-byte entries ending in the icon id
  const uint8_t one[] = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 0x68, 4, 0, 0, 9, 0};
  std::vector<IconGroupEntry> entries;
  ASSERT_TRUE(ParseIconGroup(one, sizeof one, &entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].id, 9);
  EXPECT_EQ(entries[0].width, 16);
  EXPECT_EQ(entries[0].bit_count, 32);
  uint8_t two[sizeof one];
  std::memcpy(two, one, sizeof one);
  two[4] = 2;  // claims two entries, holds one
  uint8_t none[6] = {0, 0, 1, 0, 0, 0};
  uint8_t many[6] = {0, 0, 1, 0, 0x2C, 1};  // 300
  struct Case {
    const uint8_t* data;
    size_t size;
  } bad[] = {{two, sizeof two}, {none, sizeof none}, {many, sizeof many}, {one, 5}, {one, 19}, {nullptr, 20}};
  for (const Case& c : bad) EXPECT_FALSE(ParseIconGroup(c.data, c.size, &entries)) << c.size;
}

// An 8 x 8 icon: the colour pixels (top row first) and a mask whose right
// half is transparent.
HICON MakeIcon(uint32_t left, uint32_t right) {
  BITMAPINFO bi = {};
  bi.bmiHeader = {sizeof bi.bmiHeader, 8, -8, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP colour = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  for (int k = 0; k < 64; ++k) static_cast<uint32_t*>(bits)[k] = k % 8 < 4 ? left : right;
  const uint8_t rows[16] = {0x0F, 0, 0x0F, 0, 0x0F, 0, 0x0F, 0, 0x0F, 0, 0x0F, 0, 0x0F, 0, 0x0F, 0};
  HBITMAP mask = CreateBitmap(8, 8, 1, 1, rows);
  ICONINFO info = {TRUE, 0, 0, mask, colour};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(colour);
  DeleteObject(mask);
  return icon;
}

TEST(Render, IconsKeepTheirAlphaOrTakeItFromTheMask) {
  ASSERT_TRUE(EnsureGdiplus());
  struct Case {
    const char* what;
    uint32_t left, right;  // colour pixels
    int size;              // 0: the icon's own
    uint32_t opaque;       // expected on the left
  } cases[] = {
      {"alpha", 0xFF00FF00, 0x00000000, 0, 0xFF00FF00},
      {"mask only", 0x00FF0000, 0x00000000, 0, 0xFFFF0000},
      {"mask only, drawn larger", 0x00FF0000, 0x00000000, 16, 0xFFFF0000},
  };
  for (const Case& c : cases) {
    HICON icon = MakeIcon(c.left, c.right);
    ASSERT_NE(icon, nullptr);
    CImageX* image = new CImageX();
    image->AddRef();
    ASSERT_TRUE(image->LoadFromIcon(icon, c.size, c.size)) << c.what;
    const int side = c.size ? c.size : 8;
    EXPECT_EQ(image->GetImageWidth(), side) << c.what;
    EXPECT_EQ(image->GetImageHeight(), side) << c.what;
    EXPECT_EQ(PixelOf(image, side / 4, side / 2), c.opaque) << c.what;
    EXPECT_EQ(PixelOf(image, side * 3 / 4, side / 2) >> 24, 0u) << c.what;
    image->Release();
    DestroyIcon(icon);
  }
  // a half-transparent icon keeps its own alpha and its colour
  HICON icon = MakeIcon(0x80FF0000, 0x00000000);
  CImageX* image = new CImageX();
  image->AddRef();
  ASSERT_TRUE(image->LoadFromIcon(icon, 0, 0));
  const uint32_t half = PixelOf(image, 2, 4);
  EXPECT_EQ(half >> 24, 0x80u);
  EXPECT_NEAR(static_cast<int>((half >> 16) & 255), 255, 2);
  EXPECT_EQ(half & 0xFFFF, 0u);
  DestroyIcon(icon);
  EXPECT_FALSE(image->LoadFromIcon(nullptr, 0, 0));
  EXPECT_EQ(image->GetImageWidth(), 0);
  // a GDI bitmap is copied: it may go away at once
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 6, 3);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all = {0, 0, 6, 3};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  ::FillRect(dc, &all, red);
  SelectObject(dc, old);
  DeleteObject(red);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  ASSERT_TRUE(image->LoadFromBitmap(bitmap, nullptr));
  DeleteObject(bitmap);
  EXPECT_EQ(image->GetImageWidth(), 6);
  EXPECT_EQ(image->GetImageHeight(), 3);
  EXPECT_EQ(PixelOf(image, 5, 2), 0xFFFF0000u);
  EXPECT_FALSE(image->LoadFromBitmap(nullptr, nullptr));
  image->Release();
}

TEST(Render, MatrixOperationsComposeInTheirOrder) {
  auto apply = [](const MatrixValues& m, float x, float y) {
    return std::make_pair(x * m.m11 + y * m.m21 + m.dx, x * m.m12 + y * m.m22 + m.dy);
  };
  CMatrixX* m = new CMatrixX();
  m->AddRef();
  EXPECT_TRUE(m->IsIdentity());
  m->Translate(0, 0, kMatrixAppend);
  EXPECT_TRUE(m->IsIdentity());
  struct Case {
    const char* what;
    std::function<void(CMatrixX*)> build;
    float x, y, ex, ey;
  } cases[] = {
      {"translate then scale", [](CMatrixX* t) { t->Translate(10, 20, kMatrixAppend); t->Scale(2, 3, kMatrixAppend); },
       1, 1, 22, 63},
      {"scale prepended", [](CMatrixX* t) { t->Translate(10, 20, kMatrixAppend); t->Scale(2, 3, kMatrixPrepend); },
       1, 1, 12, 23},
      {"rotate about a point", [](CMatrixX* t) { t->RotateAt(90, 10, 10, kMatrixAppend); }, 20, 10, 10, 20},
      {"rotate about the origin", [](CMatrixX* t) { t->Rotate(180, kMatrixPrepend); }, 3, 4, -3, -4},
      {"multiply appended", [](CMatrixX* t) { t->Scale(2, 2, kMatrixAppend); t->Multiply(MatrixValues{1, 0, 0, 1, 5, 6}, kMatrixAppend); },
       1, 1, 7, 8},
      {"multiply prepended", [](CMatrixX* t) { t->Scale(2, 2, kMatrixAppend); t->Multiply(MatrixValues{1, 0, 0, 1, 5, 6}, kMatrixPrepend); },
       1, 1, 12, 14},
      {"set elements", [](CMatrixX* t) { t->SetElements(0, 1, 1, 0, 0, 0); }, 3, 4, 4, 3},
  };
  for (const Case& c : cases) {
    m->SetElements(1, 0, 0, 1, 0, 0);
    EXPECT_TRUE(m->IsIdentity());
    c.build(m);
    EXPECT_FALSE(m->IsIdentity()) << c.what;
    const auto p = apply(m->GetElements(), c.x, c.y);
    EXPECT_NEAR(p.first, c.ex, 1e-4) << c.what;
    EXPECT_NEAR(p.second, c.ey, 1e-4) << c.what;
  }
  m->Release();
}

TEST(Render, DrawingFactoriesStartAgainAfterAShutdown) {
  const bool direct2d = Direct2DAvailable();
  ASSERT_TRUE(EnsureGdiplus());
  CGlobalsX::Get().ShutdownDrawing();
  CGlobalsX::Get().ShutdownDrawing();  // twice is harmless
  CWindowX* window = LoadAt(kSkin, sizeof kSkin - 1, 120, 80);  // starts GDI+ again
  ASSERT_NE(window, nullptr);
  std::vector<uint32_t> px;
  ASSERT_EQ(RenderToPixels(window->GetContent(), 120, 80, &px), S_OK);
  EXPECT_EQ(px[0], 0xFFFF0000u);
  EXPECT_EQ(Direct2DAvailable(), direct2d);
  EXPECT_EQ(CGlobalsX::Get().DirectWriteFactory() != nullptr, direct2d);
  EXPECT_EQ(CGlobalsX::Get().ImagingFactory() != nullptr, direct2d);
  if (direct2d) {
    ASSERT_EQ(RenderToPixelsDirect2D(window->GetContent(), 120, 80, &px), S_OK);
    EXPECT_EQ(px[0], 0xFFFF0000u);
  }
  window->Release();
}

TEST(Render, TextsWithoutFamilyOrSizeEndThePass) {
  for (const char* font : {"FontSize=\"0\"", "FontFamily=\"\"", "FontSize=\"-3\""}) {
    const std::string skin = std::string(R"(<Window Width="30" Height="10"><StackPanel AlignmentMajor="Left">
      <Panel Width="10" Background="255,0,0"/>
      <Panel Width="10"><Panel.Background><Text Text="x" )") + font + R"(/></Panel.Background></Panel>
      <Panel Width="10" Background="0,0,255"/></StackPanel></Window>)";
    CWindowX* window = LoadAt(skin.data(), skin.size(), 30, 10);
    ASSERT_NE(window, nullptr) << font;
    std::vector<uint32_t> px;
    EXPECT_EQ(RenderToPixels(window->GetContent(), 30, 10, &px), E_FAIL) << font;
    EXPECT_EQ(px[5 * 30 + 5], 0xFFFF0000u) << font;  // drawn before the text
    EXPECT_EQ(px[5 * 30 + 25], 0u) << font;          // not after it
    window->Release();
  }
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
  if (Direct2DAvailable()) {  // outlines and lines land on the same pixels
    std::vector<uint32_t> direct2d;
    ASSERT_EQ(RenderToPixelsDirect2D(window->GetContent(), 60, 20, &direct2d), S_OK);
    EXPECT_TRUE(direct2d == px);
    // an odd border width too
    auto* control = dynamic_cast<CControlContainerX<CPanelX>*>(window->GetContent()->GetChild(0));
    ASSERT_NE(control, nullptr);
    control->SetBorderWidth(3);
    ASSERT_EQ(RenderToPixels(window->GetContent(), 60, 20, &px), S_OK);
    ASSERT_EQ(RenderToPixelsDirect2D(window->GetContent(), 60, 20, &direct2d), S_OK);
    EXPECT_TRUE(direct2d == px);
  }
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
  UpdateWindow(hwnd);
  PumpFor200Ms();
  HDC dc = GetDC(hwnd);
  EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 10, 40), RGB(0, 0, 255));
  // a change repaints through the dirty rectangle
  window->GetContent()->GetChild(1)->SetBackgroundColor(0xFF202020);
  PumpFor200Ms();
  for (int y : {20, 25, 40, 79}) EXPECT_EQ(GetPixel(dc, 10, y), RGB(0x20, 0x20, 0x20)) << y;  // the whole strip
  EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 0, 0));
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
