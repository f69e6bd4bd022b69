// The panel family (see layout_panels.h).
#include "ui/layout_panels.h"

#include <algorithm>
#include <climits>

#include "ui/globals.h"
#include "ui/graphic.h"
#include "ui/render.h"

namespace varnak::ui {
namespace {

const EnumWord kOrientationWords[] = {{L"Vertical", 0}, {L"Vert", 0}, {L"V", 0},
                                      {L"Horizontal", 1}, {L"Horz", 1}, {L"H", 1}};
const EnumWord kAlignWords[] = {{L"Left", 1}, {L"Right", 3}, {L"Top", 2}, {L"Bottom", 4}, {L"Conter", 0}, {L"Fill", 5}};

LONG Clamp(int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, LONG_MIN, LONG_MAX)); }

std::wstring Trim(const std::wstring& s) {
  size_t a = s.find_first_not_of(L" \t"), b = s.find_last_not_of(L" \t");
  return a == std::wstring::npos ? std::wstring() : s.substr(a, b - a + 1);
}

std::vector<LayoutItem> ItemsOf(CPanelX* panel, size_t* index, CPanelX* child) {
  std::vector<LayoutItem> items;
  const int n = panel->GetChildCount();
  items.reserve(static_cast<size_t>(n));
  *index = SIZE_MAX;
  for (int k = 0; k < n; ++k) {
    CPanelX* c = panel->GetChild(k);
    if (c == child) *index = static_cast<size_t>(k);
    items.push_back(LayoutItemOf(panel, c));
  }
  return items;
}

}  // namespace

LRect ToLRect(const RECT& r) { return LRect{r.left, r.top, r.right, r.bottom}; }
RECT ToRect(const LRect& r) { return RECT{Clamp(r.left), Clamp(r.top), Clamp(r.right), Clamp(r.bottom)}; }

LayoutItem LayoutItemOf(CPanelX* panel, CPanelX* child) {
  LayoutItem i;
  i.w = child->GetWidth();
  i.h = child->GetHeight();
  const RECT m = child->GetMargin();
  i.ml = m.left;
  i.mt = m.top;
  i.mr = m.right;
  i.mb = m.bottom;
  i.counted = child->IsVisible() || panel->GetHideSizable() != 0;
  panel->GetChildAlignmentX(child, &i.align_x);
  panel->GetChildAlignmentY(child, &i.align_y);
  return i;
}

// --- StackPanel ---------------------------------------------------------------

HRESULT CStackPanelX::LoadAttributes(const CXmlAttributesX& a) {
  a.GetEnum(L"Orientation", kOrientationWords, std::size(kOrientationWords), &orientation_);
  a.GetEnum(L"AlignmentMajor", kAlignWords, std::size(kAlignWords), &major_);
  a.GetEnum(L"AlignmentMinor", kAlignWords, std::size(kAlignWords), &minor_);
  return CPanelX::LoadAttributes(a);
}

void CStackPanelX::SetOrientation(int32_t value) {
  orientation_ = value;
  InvalidateLayout(true);
}

void CStackPanelX::SetAlignments(int32_t major, int32_t minor) {
  major_ = major;
  minor_ = minor;
  InvalidateLayout(true);
}

void CStackPanelX::GetContentExtent(SIZE* size) {
  std::vector<LayoutItem> items;
  for (int k = 0; k < GetChildCount(); ++k) items.push_back(LayoutItemOf(this, GetChild(k)));
  int64_t w = 0, h = 0;
  StackContentExtent(items, major_, minor_, orientation_, &w, &h);
  size->cx = Clamp(w);
  size->cy = Clamp(h);
}

int32_t CStackPanelX::GetWidth() {
  if (!GetAutoWidth()) return CPanelX::GetWidth();
  SIZE s;
  GetContentExtent(&s);
  return s.cx;
}

int32_t CStackPanelX::GetHeight() {
  if (!GetAutoHeight()) return CPanelX::GetHeight();
  SIZE s;
  GetContentExtent(&s);
  return s.cy;
}

void CStackPanelX::ArrangeChild(RECT* rect, CPanelX* child) {
  size_t index;
  std::vector<LayoutItem> items = ItemsOf(this, &index, child);
  if (index == SIZE_MAX) return CPanelX::ArrangeChild(rect, child);
  *rect = ToRect(ArrangeStack(ToLRect(*rect), items, index, major_, minor_, orientation_));
}

// --- DockPanel ----------------------------------------------------------------

HRESULT CDockPanelX::SetAttachedProperty(const std::wstring& property, const std::wstring& value, IElementX* child) {
  CPanelX* panel = dynamic_cast<CPanelX*>(child);
  int32_t v = 0;
  if (EqualsNoCase(property, L"Dock")) {
    if (!panel) return S_OK;
    const size_t comma = value.find(L',');
    if (ParseEnum(Trim(value.substr(0, comma)), kAlignWords, std::size(kAlignWords), &v)) major_[panel] = v;
    if (comma != std::wstring::npos &&
        ParseEnum(Trim(value.substr(comma + 1)), kAlignWords, std::size(kAlignWords), &v))
      minor_[panel] = v;
    return S_OK;
  }
  if (EqualsNoCase(property, L"MajorDock") || EqualsNoCase(property, L"MinorDock")) {
    if (panel && ParseEnum(Trim(value), kAlignWords, std::size(kAlignWords), &v))
      (EqualsNoCase(property, L"MajorDock") ? major_ : minor_)[panel] = v;
    return S_OK;
  }
  return CPanelX::SetAttachedProperty(property, value, child);
}

void CDockPanelX::SetMajorDock(CPanelX* child, int32_t value) {
  major_[child] = value;
  InvalidateLayout(true);
}
int32_t CDockPanelX::GetMajorDock(CPanelX* child) const {
  auto it = major_.find(child);
  return it == major_.end() ? kNoValue : it->second;
}
void CDockPanelX::SetMinorDock(CPanelX* child, int32_t value) {
  minor_[child] = value;
  InvalidateLayout(true);
}
int32_t CDockPanelX::GetMinorDock(CPanelX* child) const {
  auto it = minor_.find(child);
  return it == minor_.end() ? kNoValue : it->second;
}
void CDockPanelX::SetDock(CPanelX* child, int32_t major, int32_t minor) {
  major_[child] = major;
  minor_[child] = minor;
  InvalidateLayout(true);
}
int32_t CDockPanelX::GetDock(CPanelX* child, int32_t* minor) const {
  if (minor) *minor = GetMinorDock(child);
  return GetMajorDock(child);
}

void CDockPanelX::OnChildRemoved(CPanelX* child, bool destroyed) {
  if (destroyed) {
    major_.erase(child);
    minor_.erase(child);
  }
  CPanelX::OnChildRemoved(child, destroyed);
}

void CDockPanelX::ArrangeChild(RECT* rect, CPanelX* child) {
  size_t index;
  std::vector<LayoutItem> items = ItemsOf(this, &index, child);
  if (index == SIZE_MAX) return CPanelX::ArrangeChild(rect, child);
  for (int k = 0; k < GetChildCount(); ++k) {
    items[static_cast<size_t>(k)].major_dock = GetMajorDock(GetChild(k));
    items[static_cast<size_t>(k)].minor_dock = GetMinorDock(GetChild(k));
  }
  *rect = ToRect(ArrangeDock(ToLRect(*rect), items, index));
}

// --- WrapPanel ----------------------------------------------------------------

HRESULT CWrapPanelX::LoadAttributes(const CXmlAttributesX& a) {
  a.GetBool(L"ReverseX", &reverse_x_);
  a.GetBool(L"ReverseY", &reverse_y_);
  HRESULT hr = CPanelX::LoadAttributes(a);
  a.GetEnum(L"Orientation", kOrientationWords, std::size(kOrientationWords), &orientation_);
  return hr;
}

void CWrapPanelX::SetReverse(bool x, bool y) {
  if (x == reverse_x_ && y == reverse_y_) return;
  reverse_x_ = x;
  reverse_y_ = y;
  InvalidateLayout(true);
}

void CWrapPanelX::ArrangeChild(RECT* rect, CPanelX* child) {
  size_t index;
  std::vector<LayoutItem> items = ItemsOf(this, &index, child);
  if (index == SIZE_MAX) return CPanelX::ArrangeChild(rect, child);
  *rect = ToRect(ArrangeWrap(ToLRect(*rect), items, index, orientation_, reverse_x_, reverse_y_));
}

// --- GridPanel ----------------------------------------------------------------

HRESULT CGridDefinitionX::LoadAttributes(const CXmlAttributesX& a) {
  std::wstring text;
  if (a.GetText(L"Width", &text)) SetSizeText(text);
  if (a.GetText(L"Height", &text)) SetSizeText(text);
  return CElementX::LoadAttributes(a);
}

CGridPanelX::~CGridPanelX() {
  for (CGridDefinitionX* d : rows_) d->Release();
  for (CGridDefinitionX* d : columns_) d->Release();
  if (line_brush_) line_brush_->Release();
}

void CGridPanelX::SetLineBrush(IUnknown* brush) {
  if (brush) brush->AddRef();
  if (line_brush_) line_brush_->Release();
  line_brush_ = brush;
}

HRESULT CGridPanelX::LoadAttributes(const CXmlAttributesX& a) {
  uint32_t color = 0;
  if (a.GetColor(L"GridLineBrush", &color)) {
    CSolidBrushX* brush = new (std::nothrow) CSolidBrushX();
    if (!brush) return E_OUTOFMEMORY;
    brush->AddRef();
    brush->SetColor(color);
    SetLineBrush(static_cast<IGraphicX*>(brush));
    brush->Release();
  }
  a.GetReal(L"GridLineWidth", &line_width_);  // kept; lines are drawn 1 unit wide
  return CPanelX::LoadAttributes(a);
}

HRESULT CGridPanelX::SetAttachedProperty(const std::wstring& property, const std::wstring& value, IElementX* child) {
  const bool pos = EqualsNoCase(property, L"GridPos"), span = EqualsNoCase(property, L"GridSpan");
  if (!pos && !span) return CPanelX::SetAttachedProperty(property, value, child);
  CPanelX* panel = dynamic_cast<CPanelX*>(child);
  Numbers n = ParsePoint(value);
  if (!panel || !n.set) return S_OK;
  GridPlace& place = places_[panel];
  if (pos) {
    place.column = n.Int(0);
    place.row = n.Int(1);
  } else {
    place.column_span = n.Int(0);
    place.row_span = n.Int(1);
  }
  return S_OK;
}

int CGridPanelX::CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) {
  if (value) *value = nullptr;
  const bool definitions = property == L"RowDefinitions" || property == L"ColumnDefinitions";
  if (!definitions && property != L"GridLineBrush") return CPanelX::CreatePropertyElement(property, tag, value);
  if (tag.empty() || !value) return 1;
  IElementX* created = definitions ? new (std::nothrow) CGridDefinitionX() : CreateByName(tag);
  if (!created) return 0;
  created->AddRef();
  *value = created;
  return 1;
}

HRESULT CGridPanelX::SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) {
  if (property == L"RowDefinitions" || property == L"ColumnDefinitions") {
    CGridDefinitionX* d = dynamic_cast<CGridDefinitionX*>(value);
    if (!d) return E_INVALIDARG;
    d->AddRef();
    (property == L"RowDefinitions" ? rows_ : columns_).push_back(d);
    InvalidateLayout(true);
    return S_OK;
  }
  if (property == L"GridLineBrush") {
    IUnknown* brush = nullptr;
    if (!value || FAILED(value->QueryInterface(IID_IBrushX, reinterpret_cast<void**>(&brush)))) return E_INVALIDARG;
    SetLineBrush(brush);
    brush->Release();
    return S_OK;
  }
  return CPanelX::SetPropertyElement(property, tag, value);
}

void CGridPanelX::SetGridPos(CPanelX* child, int32_t column, int32_t row) {
  GridPlace& p = places_[child];
  p.column = column;
  p.row = row;
  InvalidateLayout(true);
}

POINT CGridPanelX::GetGridPos(CPanelX* child) const {
  auto it = places_.find(child);
  return it == places_.end() ? POINT{-1, -1} : POINT{it->second.column, it->second.row};
}

void CGridPanelX::SetGridSpan(CPanelX* child, int32_t columns, int32_t rows) {
  GridPlace& p = places_[child];
  p.column_span = columns;
  p.row_span = rows;
  InvalidateLayout(true);
}

POINT CGridPanelX::GetGridSpan(CPanelX* child) const {
  auto it = places_.find(child);
  return it == places_.end() ? POINT{1, 1} : POINT{it->second.column_span, it->second.row_span};
}

void CGridPanelX::ComputeGridLines(const RECT& rect, std::vector<int64_t>* columns, std::vector<int64_t>* rows) {
  std::vector<GridDefinition> c, r;
  for (CGridDefinitionX* d : columns_) c.push_back(d->definition());
  for (CGridDefinitionX* d : rows_) r.push_back(d->definition());
  *columns = GridEdges(rect.left, rect.right, c);
  *rows = GridEdges(rect.top, rect.bottom, r);
}

void CGridPanelX::GetCellRect(RECT* out, CPanelX* child, const RECT& rect) {
  auto it = places_.find(child);
  if (it == places_.end()) {
    *out = rect;
    return;
  }
  std::vector<int64_t> columns, rows;
  ComputeGridLines(rect, &columns, &rows);
  *out = ToRect(GridCell(ToLRect(rect), columns, rows, it->second));
}

void CGridPanelX::ArrangeChild(RECT* rect, CPanelX* child) {
  RECT cell;
  GetCellRect(&cell, child, *rect);
  *rect = ToRect(ArrangeInCell(ToLRect(cell), LayoutItemOf(this, child)));
}

// One unit wide at every column edge (top to bottom) and every row edge (left
// to right) of the outer rectangle: the right and bottom borders are edges,
// the left and top borders are not.
HRESULT CGridPanelX::RenderContent(IRenderX* renderer, const RECT& rect, const RECT&) {
  IGraphicX* brush = nullptr;
  if (!line_brush_ || FAILED(line_brush_->QueryInterface(IID_IGraphicX, reinterpret_cast<void**>(&brush))))
    return S_OK;
  std::vector<int64_t> columns, rows;
  ComputeGridLines(rect, &columns, &rows);
  HRESULT hr = S_OK;
  for (int64_t x : columns)
    if (SUCCEEDED(hr)) hr = renderer->FillRect(ToRect(LRect{x - 1, rect.top, x, rect.bottom}), brush, 0, 0);
  for (int64_t y : rows)
    if (SUCCEEDED(hr)) hr = renderer->FillRect(ToRect(LRect{rect.left, y - 1, rect.right, y}), brush, 0, 0);
  brush->Release();
  return hr;
}

void CGridPanelX::OnChildRemoved(CPanelX* child, bool destroyed) {
  if (destroyed) places_.erase(child);
  CPanelX::OnChildRemoved(child, destroyed);
}

}  // namespace varnak::ui
