// The markup loader: a whole tree with every device of the markup, the
// encodings it accepts, each rejection rule, and cloning.
#include <gtest/gtest.h>

#include <string>

#include "ui/globals.h"
#include "ui/graphic.h"
#include "ui/window.h"
#include "ui/xml_parser.h"

namespace varnak::ui {
namespace {

struct Loaded {
  CWindowX* window = nullptr;
  HRESULT hr = E_FAIL;
  explicit Loaded(const std::string& bytes) {
    hr = CXmlParserX().LoadWindowFromBytes(bytes.data(), bytes.size(), &window);
  }
  ~Loaded() {
    if (window) window->Release();
  }
  CPanelX* Find(const wchar_t* name) {
    CPanelX* p = nullptr;
    if (window && window->GetContent()->FindElementByName(name, &p)) p->Release();  // the tree keeps it alive
    return p;
  }
};

const char kSkin[] = R"(<Window Width="300" Height="200" Title="Varnak">
  <Panel Name="Root" Background="255,0,0" AlignmentX="Left" AlignmentY="Conter">
    <Panel Name="A" width="10" Height="20" Margin="1.9,2,3,4" Panel.AlignmentX="Right" panel.AlignmentY="Conter"
           Other.Thing="ignored"/>
    <Panel Name="B" OnMessage="514-Click;7" Cursor="hand" Visible="false" ID="42">
      <Panel.Background><SolidBrush Color="0x80FF0000"/></Panel.Background>
      <Panel.Matrix><Matrix OffsetX="3" OffsetY="4"/></Panel.Matrix>
      <Panel.EventListener><MouseEnter/></Panel.EventListener>
      <Panel.Unknown><Element/></Panel.Unknown>
    </Panel>
    <Template><Panel Name="Tpl" Width="7"><Panel Name="Inner"/></Panel></Template>
    <Duplicate Source="tpl" Name="Copy1"/>
    <Duplicate Source="Tpl" Name="Copy2" Width="9" Panel.AlignmentX="Fill"/>
    <Duplicate Source="Nothing"/>
    <Duplicate Name="NoSource"/>
  </Panel>
  <Bogus/>
</Window>)";

TEST(MarkupLoader, BuildsTheWholeTree) {
  Loaded l(kSkin);
  ASSERT_EQ(l.hr, S_OK);
  ASSERT_NE(l.window->hwnd(), nullptr);
  EXPECT_FALSE(IsWindowVisible(l.window->hwnd()));
  CPanelX* root = l.window->GetContent();
  EXPECT_EQ(root->name(), L"Root");
  EXPECT_TRUE(root->IsDetached());
  EXPECT_EQ(root->alignment_x(), kAlignLeft);
  EXPECT_EQ(root->alignment_y(), kAlignCenter);  // "Conter" is not a word of the panel's own attribute
  auto color_of = [](CPanelX* p) {
    ISolidBrushX* brush = nullptr;
    uint32_t c = 0;
    if (p->GetBackground() &&
        SUCCEEDED(p->GetBackground()->QueryInterface(IID_ISolidBrushX, reinterpret_cast<void**>(&brush)))) {
      c = brush->GetColor();
      brush->Release();
    }
    return c;
  };
  EXPECT_EQ(color_of(root), 0xFFFF0000u);
  EXPECT_EQ(root->GetChildCount(), 4);  // A, B, Copy1, Copy2

  CPanelX* a = l.Find(L"a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->GetWidth(), 10);
  EXPECT_EQ(a->GetMargin().left, 1);
  EXPECT_EQ(a->GetMargin().bottom, 4);
  int32_t v = -1;
  EXPECT_TRUE(root->GetChildAlignmentX(a, &v));
  EXPECT_EQ(v, kAlignRight);
  EXPECT_TRUE(root->GetChildAlignmentY(a, &v));
  EXPECT_EQ(v, kAlignCenter);

  CPanelX* b = l.Find(L"B");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetId(), 42);
  EXPECT_FALSE(b->IsVisible());
  EXPECT_EQ(b->GetCursorKind(), 13);
  EXPECT_EQ(color_of(b), 0x80FF0000u);  // the property element wins over nothing
  EXPECT_EQ(b->transform().dx, 3.0f);
  EXPECT_NE(b->GetListener(kMouseEnter), nullptr);
  ASSERT_EQ(b->message_handlers().size(), 1u);
  EXPECT_EQ(b->message_handlers().at(514), L"Click");

  EXPECT_EQ(root->FindByName(L"Tpl"), nullptr);  // templates are not instantiated
  CPanelX* copy1 = l.Find(L"Copy1");
  CPanelX* copy2 = l.Find(L"Copy2");
  ASSERT_NE(copy1, nullptr);
  ASSERT_NE(copy2, nullptr);
  EXPECT_NE(copy1, copy2);
  EXPECT_EQ(copy1->GetWidth(), 7);
  EXPECT_EQ(copy2->GetWidth(), 9);
  EXPECT_EQ(copy1->GetChildCount(), 1);
  EXPECT_TRUE(root->GetChildAlignmentX(copy2, &v));
  EXPECT_EQ(v, kAlignFill);
  EXPECT_EQ(l.window->width(), 300);
}

TEST(MarkupLoader, AcceptsEveryEncodingOfTheSameText) {
  // "进程" as UTF-16 code units, UTF-8 and GBK bytes
  const std::wstring wide = L"<Window><Panel Name=\"\u8FDB\u7A0B\"/></Window>";
  std::string utf16(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
  const std::string utf8 = "<Window><Panel Name=\"\xE8\xBF\x9B\xE7\xA8\x8B\"/></Window>";
  const std::string gbk = "<Window><Panel Name=\"\xBD\xF8\xB3\xCC\"/></Window>";
  const std::string cases[] = {"\xFF\xFE" + utf16, utf16, "\xEF\xBB\xBF" + utf8, utf8, gbk};
  for (const std::string& bytes : cases) {
    Loaded l(bytes);
    ASSERT_EQ(l.hr, S_OK) << bytes.size();
    EXPECT_EQ(l.window->GetContent()->name(), L"\u8FDB\u7A0B") << bytes.size();
  }
  // even-length ASCII is not taken for UTF-16
  Loaded ascii("<Window><Panel Name=\"Bush hid the facts\"/></Window>");
  ASSERT_EQ(ascii.hr, S_OK);
  EXPECT_EQ(ascii.window->GetContent()->name(), L"Bush hid the facts");
}

TEST(MarkupLoader, RejectionRules) {
  std::string deep = "<Window>";
  for (int k = 0; k < 150; ++k) deep += "<Panel>";
  for (int k = 0; k < 150; ++k) deep += "</Panel>";
  deep += "</Window>";
  // A holds two copies of B, B two of C... : exponential without a budget
  std::string chain = "<Window><Panel><Template><Panel Name=\"L0\"/>";
  for (int k = 1; k <= 24; ++k)
    chain += "<Panel Name=\"L" + std::to_string(k) + "\"><Duplicate Source=\"L" + std::to_string(k - 1) +
             "\"/><Duplicate Source=\"L" + std::to_string(k - 1) + "\"/></Panel>";
  chain += "</Template><Duplicate Source=\"L24\"/></Panel></Window>";
  struct Case {
    const char* what;
    std::string markup;
    HRESULT hr;
  } cases[] = {
      {"tag in lower case", "<Window><panel/></Window>", E_FAIL},
      {"unknown root", "<Nope><Panel/></Nope>", E_OUTOFMEMORY},
      {"no content", "<Window/>", E_FAIL},
      {"content not a panel", "<Window><Element/></Window>", E_FAIL},
      {"root not a window", "<Panel><Panel/></Panel>", E_FAIL},
      {"non-panel nested in a panel", "<Window><Panel><SolidBrush/></Panel></Window>", E_FAIL},
      {"property element of another owner", "<Window><Panel><Window.Background/></Panel></Window>", E_FAIL},
      {"empty side of a qualified attribute", "<Window><Panel><Panel Panel.=\"1\"/></Panel></Window>", E_FAIL},
      {"background that is no graphic",
       "<Window><Panel><Panel.Background><Panel/></Panel.Background></Panel></Window>", E_INVALIDARG},
      {"unknown value tag", "<Window><Panel><Panel.Background><Nope/></Panel.Background></Panel></Window>", E_FAIL},
      {"not well-formed", "<Window><Panel></Window>", E_FAIL},
      {"duplicate cycle",
       "<Window><Panel><Template><Panel Name=\"A\"><Duplicate Source=\"B\"/></Panel>"
       "<Panel Name=\"B\"><Duplicate Source=\"A\"/></Panel></Template><Duplicate Source=\"A\"/></Panel></Window>",
       E_FAIL},
      {"duplicate inside its own source",
       "<Window><Panel><Panel Name=\"S\"><Duplicate Source=\"S\"/></Panel></Panel></Window>", S_OK},
      {"nesting deeper than the parser allows", deep, E_FAIL},
      {"exponential duplicates", chain, E_FAIL},
      {"empty text", "", E_FAIL},
  };
  for (const Case& c : cases) {
    Loaded l(c.markup);
    EXPECT_EQ(l.hr, c.hr) << c.what;
    EXPECT_EQ(l.window == nullptr, FAILED(c.hr)) << c.what;
  }
}

TEST(MarkupLoader, RegistryIsCaseSensitiveAndFirstRegistrationWins) {
  CGlobalsX& g = CGlobalsX::Get();
  EXPECT_TRUE(g.IsClassRegistered(L"Panel"));
  EXPECT_FALSE(g.IsClassRegistered(L"panel"));
  EXPECT_EQ(g.RegisterElementClass(L"Panel", []() -> IElementX* { return nullptr; }), nullptr);
  IElementX* e = g.CreateByName(L"Panel");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->GetRefCount(), 0);
  e->AddRef();
  e->Release();
  EXPECT_EQ(g.CreateByName(L"Nope"), nullptr);
}

TEST(MarkupLoader, CloneBuildsAnIndependentCopyFromTheMarkup) {
  Loaded l(kSkin);
  ASSERT_EQ(l.hr, S_OK);
  CPanelX* a = l.Find(L"A");
  a->SetWidth(99);  // code changes are not copied
  IElementX* copy = nullptr;
  ASSERT_EQ(CXmlParserX().CloneElement(a, &copy), S_OK);
  CPanelX* panel = dynamic_cast<CPanelX*>(copy);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->GetWidth(), 10);
  EXPECT_EQ(panel->GetParent(), nullptr);
  EXPECT_EQ(panel->GetRefCount(), 1);
  copy->Release();
  CPanelX* made_in_code = new CPanelX();
  made_in_code->AddRef();
  EXPECT_EQ(CXmlParserX().CloneElement(made_in_code, &copy), E_INVALIDARG);
  made_in_code->Release();
}

}  // namespace
}  // namespace varnak::ui

namespace varnak::ui {
namespace {

TEST(LayoutPanels, MarkupTreeArrangesEveryPanelKind) {
  Loaded l(R"(<Window Width="400" Height="300">
 <DockPanel Name="Dock">
  <StackPanel Name="Top" Height="40" DockPanel.Dock="Top" AlignmentMajor="Left">
    <Panel Name="S1" Width="30" Margin="2,2,2,2"/><Panel Name="S2" Width="50"/>
  </StackPanel>
  <GridPanel Name="Grid" Width="100" DockPanel.Dock="Left, Top">
    <GridPanel.ColumnDefinitions><GridDefinition Width="40"/><GridDefinition Width="1*"/></GridPanel.ColumnDefinitions>
    <GridPanel.RowDefinitions><GridDefinition Height="1*"/><GridDefinition Height="1*"/></GridPanel.RowDefinitions>
    <Panel Name="G11" GridPanel.GridPos="1,1"/>
    <Panel Name="GSpan" GridPanel.GridSpan="2,1"/>
  </GridPanel>
  <WrapPanel Name="Wrap">
    <Panel Name="W1" Width="200" Height="10"/><Panel Name="W2" Width="200" Height="20"/><Panel Name="W3" Width="10" Height="10"/>
  </WrapPanel>
 </DockPanel>
</Window>)");
  ASSERT_EQ(l.hr, S_OK);
  struct Case {
    const wchar_t* name;
    RECT rect;
  } cases[] = {
      {L"Top", {0, 0, 400, 40}},      {L"S1", {2, 2, 32, 38}},      {L"S2", {34, 0, 84, 40}},
      {L"Grid", {0, 40, 100, 300}},   {L"G11", {40, 170, 100, 300}}, {L"GSpan", {0, 40, 100, 170}},
      {L"Wrap", {100, 40, 400, 300}}, {L"W1", {100, 40, 300, 50}},   {L"W2", {100, 50, 300, 70}},
      {L"W3", {300, 50, 310, 60}},
  };
  for (const Case& c : cases) {
    CPanelX* p = l.Find(c.name);
    ASSERT_NE(p, nullptr) << c.name;
    RECT r;
    p->GetRect(&r, false);
    EXPECT_EQ(r.left, c.rect.left) << c.name;
    EXPECT_EQ(r.top, c.rect.top) << c.name;
    EXPECT_EQ(r.right, c.rect.right) << c.name;
    EXPECT_EQ(r.bottom, c.rect.bottom) << c.name;
  }
  // a size change moves the siblings that depend on it
  CPanelX* grid = l.Find(L"Grid");
  grid->SetWidth(150);
  RECT r;
  l.Find(L"W1")->GetRect(&r, false);
  EXPECT_EQ(r.left, 150);
}

TEST(LayoutPanels, GridRejectsDefinitionValuesOfTheWrongKind) {
  Loaded l("<Window><GridPanel><GridPanel.GridLineBrush><Panel/></GridPanel.GridLineBrush></GridPanel></Window>");
  EXPECT_EQ(l.hr, E_INVALIDARG);
  Loaded ok("<Window><GridPanel GridLineBrush=\"1,2,3\"><GridPanel.GridLineBrush><SolidBrush/>"
            "</GridPanel.GridLineBrush></GridPanel></Window>");
  EXPECT_EQ(ok.hr, S_OK);
}

}  // namespace
}  // namespace varnak::ui
