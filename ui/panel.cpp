// CPanelX (see panel.h).
#include "ui/panel.h"

#include <algorithm>
#include <climits>

#include "ui/globals.h"
#include "ui/graphic.h"
#include "ui/layout_panels.h"
#include "ui/render.h"
#include "ui/timers.h"
#include "ui/window.h"

namespace varnak::ui {
namespace {

const EnumWord kCursorWords[] = {
    {L"Arrow", 0},    {L"ibeam", 1},     {L"Wait", 2},    {L"Cross", 3},     {L"UpArrow", 4},   {L"Size", 5},
    {L"Icon", 6},     {L"SizeNWSE", 7},  {L"SizeNESW", 8}, {L"SizeWE", 9},   {L"SizeNS", 10},   {L"SizeAll", 11},
    {L"No", 12},      {L"Hand", 13},     {L"AppStarting", 14}, {L"Help", 15}};
const WORD kSystemCursors[] = {0,     32513, 32514, 32515, 32516, 32640, 32641, 32642,
                               32643, 32644, 32645, 32646, 32648, 32649, 32650, 32651};
const EnumWord kOwnAlignXWords[] = {{L"Left", kAlignLeft}, {L"Right", kAlignRight}, {L"Center", kAlignCenter},
                                    {L"Fill", kAlignFill}};
const EnumWord kOwnAlignYWords[] = {{L"Top", kAlignTop}, {L"Bottom", kAlignBottom}, {L"Center", kAlignCenter},
                                    {L"Fill", kAlignFill}};
// the attached form spells the centre "Conter"; stored skins depend on it
const EnumWord kAttachedAlignWords[] = {{L"Left", 1}, {L"Right", 3}, {L"Top", 2},
                                        {L"Bottom", 4}, {L"Conter", 0}, {L"Fill", 5}};
const wchar_t* const kListenerTags[] = {L"MouseDown", L"MouseUp", L"MouseEnter", L"MouseLeave"};

LONG ClampToLong(long long v) {
  return static_cast<LONG>(std::min<long long>(std::max<long long>(v, LONG_MIN), LONG_MAX));
}

}  // namespace

CPanelX::CPanelX() = default;

CPanelX::~CPanelX() {
  if (custom_cursor_ && cursor_owned_) DestroyCursor(custom_cursor_);
  if (owner_) owner_->ForgetElement(this, true);
  else if (CWindowX* host = parent_ ? parent_->GetHostWindow() : nullptr) host->ForgetElement(this, true);
  for (CEventListenerX*& l : listeners_) SafeRelease(&l);
  handlers_.clear();
  child_align_x_.clear();
  child_align_y_.clear();
  SafeRelease(&background_);
  std::vector<CPanelX*> children;
  children.swap(children_);
  for (CPanelX* c : children) {
    c->parent_ = nullptr;  // a child that lives on must not point at a freed parent
    c->Release();
  }
}

STDMETHODIMP_(ULONG) CPanelX::Release() { return CElementX::Release(); }

// --- children ---------------------------------------------------------------

HRESULT CPanelX::InsertChild(CPanelX* child, int index) {
  if (!child || child == this || child->parent_ || child->owner_) return E_FAIL;
  for (CPanelX* p = parent_; p; p = p->parent_)
    if (p == child) return E_FAIL;
  const int count = GetChildCount();
  if (index < 0 || index > count) index = count;
  child->AddRef();
  children_.insert(children_.begin() + index, child);
  child->SetParent(this);
  InvalidateLayout(true);
  return S_OK;
}

HRESULT CPanelX::MoveChild(CPanelX* child, int index) {
  const int from = IndexOfChild(child);
  if (from < 0) return E_FAIL;
  // moved inside the array: the child keeps its reference and never dies here
  children_.erase(children_.begin() + from);
  const int count = GetChildCount();
  if (index < 0 || index > count) index = count;
  children_.insert(children_.begin() + index, child);
  InvalidateLayout(true);
  return S_OK;
}

void CPanelX::DetachChild(CPanelX* child) {
  if (CWindowX* host = GetHostWindow()) host->ForgetElement(child, true);
  child->SetParent(nullptr);
}

void CPanelX::OnChildRemoved(CPanelX* child, bool destroyed) {
  if (!destroyed) return;  // a live child keeps its attached values
  child_align_x_.erase(child);
  child_align_y_.erase(child);
}

HRESULT CPanelX::RemoveChildAt(int index) {
  if (index < 0 || index >= GetChildCount()) return E_FAIL;
  CPanelX* child = children_[static_cast<size_t>(index)];
  children_.erase(children_.begin() + index);
  DetachChild(child);
  const bool destroyed = child->GetRefCount() == 1;
  OnChildRemoved(child, destroyed);
  child->Release();
  InvalidateLayout(true);
  return S_OK;
}

HRESULT CPanelX::RemoveAllChildren() {
  std::vector<CPanelX*> children;
  children.swap(children_);
  for (CPanelX* child : children) {
    DetachChild(child);
    OnChildRemoved(child, child->GetRefCount() == 1);
    child->Release();
  }
  InvalidateLayout(true);
  return S_OK;
}

int CPanelX::IndexOfChild(CPanelX* child) {
  auto it = std::find(children_.begin(), children_.end(), child);
  return it == children_.end() ? -1 : static_cast<int>(it - children_.begin());
}

CPanelX* CPanelX::FindByName(const std::wstring& name) {
  if (name.empty()) return nullptr;
  if (EqualsNoCase(this->name(), name)) return this;
  for (CPanelX* c : children_)
    if (CPanelX* found = c->FindByName(name)) return found;
  return nullptr;
}

CPanelX* CPanelX::GetChild(int index) {
  if (index < 0 || index >= GetChildCount()) return nullptr;
  return children_[static_cast<size_t>(index)];
}

void CPanelX::SetParent(CPanelX* parent) {
  parent_ = parent;
  OnParentChanged();
}

CPanelX* CPanelX::HitTest(int x, int y) {
  if (!IsVisible()) return nullptr;
  RECT r;
  GetRect(&r, true);
  POINT pt = {x, y};
  if (!PtInRect(&r, pt)) return nullptr;
  if (GetNoActive()) return this;
  for (size_t k = children_.size(); k > 0; --k)
    if (CPanelX* hit = children_[k - 1]->HitTest(x, y)) return hit;
  return this;
}

// --- background -------------------------------------------------------------

HRESULT CPanelX::SetBackground(IGraphicX* graphic) {
  if (graphic) graphic->AddRef();
  SafeRelease(&background_);
  background_ = graphic;
  InvalidateVisual(nullptr);
  return S_OK;
}

HRESULT CPanelX::SetBackgroundColor(uint32_t argb) {
  CSolidBrushX* brush = new (std::nothrow) CSolidBrushX();
  if (!brush) return E_OUTOFMEMORY;
  brush->AddRef();
  brush->SetColor(argb);
  HRESULT hr = SetBackground(static_cast<IGraphicX*>(brush));
  brush->Release();
  return hr;
}

// --- geometry ---------------------------------------------------------------

void CPanelX::InvalidateGeometry() {
  CPanelX* target = parent_;
  if (!target) {
    InvalidateLayout(true);
    return;
  }
  while (target->parent_ && (target->GetAutoWidth() || target->GetAutoHeight())) target = target->parent_;
  target->InvalidateLayout(true);
}

HRESULT CPanelX::SetWidth(int32_t w) {
  width_ = w;
  InvalidateGeometry();
  return S_OK;
}

HRESULT CPanelX::SetHeight(int32_t h) {
  height_ = h;
  InvalidateGeometry();
  return S_OK;
}

int32_t CPanelX::GetWidth() {
  if (!GetAutoWidth()) return width_;
  int32_t best = 0;
  for (CPanelX* c : children_) {
    SIZE s;
    c->GetDesiredSize(&s);
    best = std::max<int32_t>(best, s.cx);
  }
  return best;
}

int32_t CPanelX::GetHeight() {
  if (!GetAutoHeight()) return height_;
  int32_t best = 0;
  for (CPanelX* c : children_) {
    SIZE s;
    c->GetDesiredSize(&s);
    best = std::max<int32_t>(best, s.cy);
  }
  return best;
}

void CPanelX::GetDesiredSize(SIZE* size) {
  long long w = static_cast<long long>(margin_.left) + margin_.right;
  long long h = static_cast<long long>(margin_.top) + margin_.bottom;
  const int32_t width = GetWidth(), height = GetHeight();
  if (width != -1) w += width;
  if (height != -1) h += height;
  size->cx = ClampToLong(w);
  size->cy = ClampToLong(h);
}

HRESULT CPanelX::SetMargin(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  margin_ = RECT{left, top, right, bottom};
  InvalidateGeometry();
  return S_OK;
}

CWindowX* CPanelX::GetHostWindow() {
  const CPanelX* p = this;
  // iterative: deep trees must not recurse
  while (p) {
    if (p->flags_ & kFlagDetached) return p->owner_;
    p = p->parent_;
  }
  return nullptr;
}

HRESULT CPanelX::SetVisible(bool visible) {
  if (visible == IsVisible()) return S_OK;
  if (!visible) InvalidateVisual(nullptr);  // repaint the area it leaves
  SetFlag(kFlagVisible, visible);
  if (parent_) parent_->InvalidateLayout(true);
  return S_OK;
}

HRESULT CPanelX::Enable() {
  if (flags_ & kFlagEnabled) return S_OK;
  SetFlag(kFlagEnabled, true);
  InvalidateVisual(nullptr);
  return S_OK;
}

HRESULT CPanelX::Disable() {
  if (!(flags_ & kFlagEnabled)) return S_OK;
  SetFlag(kFlagEnabled, false);
  InvalidateVisual(nullptr);
  return S_OK;
}

bool CPanelX::IsEnabled(bool inherited) {
  if (!inherited) return (flags_ & kFlagEnabled) != 0;
  for (CPanelX* p = this; p; p = p->parent_) {
    if (!(p->flags_ & kFlagEnabled)) return false;
    if (p->IsDetached()) break;
  }
  return true;
}

HRESULT CPanelX::SetAutoWidth(bool on) {
  SetFlag(kFlagAutoWidth, on);
  InvalidateGeometry();
  return S_OK;
}

HRESULT CPanelX::SetAutoHeight(bool on) {
  SetFlag(kFlagAutoHeight, on);
  InvalidateGeometry();
  return S_OK;
}

// --- searches ---------------------------------------------------------------

void CPanelX::CollectElements(const Predicate& predicate, std::vector<CPanelX*>* out) {
  for (CPanelX* c : children_) {
    if (predicate(c)) out->push_back(AddRefed(c));
    c->CollectElements(predicate, out);
  }
}

void CPanelX::CollectElementsById(int32_t id, std::vector<CPanelX*>* out) {
  CollectElements([id](CPanelX* p) { return p->GetId() == id; }, out);
}

void CPanelX::CollectElementsByName(const std::wstring& name, std::vector<CPanelX*>* out) {
  if (name.empty()) return;
  CollectElements([&name](CPanelX* p) { return EqualsNoCase(p->name(), name); }, out);
}

int CPanelX::FindElement(const Predicate& predicate, CPanelX** out) {
  *out = nullptr;
  for (CPanelX* c : children_) {
    if (predicate(c)) {
      *out = AddRefed(c);
      return 1;
    }
    if (c->FindElement(predicate, out)) return 1;
  }
  return 0;
}

int CPanelX::FindElementById(int32_t id, CPanelX** out) {
  return FindElement([id](CPanelX* p) { return p->GetId() == id; }, out);
}

int CPanelX::FindElementByName(const std::wstring& name, CPanelX** out) {
  *out = nullptr;
  if (name.empty()) return 0;  // every unnamed element would match
  return FindElement([&name](CPanelX* p) { return EqualsNoCase(p->name(), name); }, out);
}

// --- host operations --------------------------------------------------------

int CPanelX::StartWindowTimer(UINT_PTR id, UINT interval) {
  CWindowX* host = GetHostWindow();
  return host ? host->SetWindowTimer(this, id, interval, 0) : 0;
}
int CPanelX::StartWindowTimerAlt(UINT_PTR id, UINT interval) {
  CWindowX* host = GetHostWindow();
  return host ? host->SetWindowTimer(this, id, interval, 1) : 0;
}
int CPanelX::StopWindowTimer(UINT_PTR id) {
  CWindowX* host = GetHostWindow();
  return host ? host->KillWindowTimer(this, id, 0) : 0;
}
int CPanelX::StopWindowTimerAlt(UINT_PTR id) {
  CWindowX* host = GetHostWindow();
  return host ? host->KillWindowTimer(this, id, 1) : 0;
}

void CPanelX::SetCustomCursor(HCURSOR cursor, bool owned) {
  if (cursor && cursor == custom_cursor_) {
    cursor_owned_ = cursor_owned_ || owned;
    cursor_kind_ = 16;
    return;
  }
  if (!cursor) {
    cursor_kind_ = 0;
    return;
  }
  if (custom_cursor_ && cursor_owned_) DestroyCursor(custom_cursor_);
  custom_cursor_ = cursor;
  cursor_owned_ = owned;
  cursor_kind_ = 16;
}

CPanelX* CPanelX::GetFocusedElement() {
  CWindowX* host = GetHostWindow();
  return host ? host->focused() : nullptr;
}

int CPanelX::SetFocus() {
  CWindowX* host = GetHostWindow();
  return host ? host->SetFocusedElement(this, true) : 0;
}

int CPanelX::KillFocus() {
  CWindowX* host = GetHostWindow();
  return host ? host->SetFocusedElement(this, false) : 0;
}

bool CPanelX::IsFocusWithin() {
  for (CPanelX* p = GetFocusedElement(); p; p = p->parent_) {
    if (p == this) return true;
    if (p->IsDetached()) break;
  }
  return false;
}

int CPanelX::SetCapture() {
  CWindowX* host = GetHostWindow();
  return host ? host->CaptureElement(this) : 0;
}

int CPanelX::ReleaseCapture() {
  CWindowX* host = GetHostWindow();
  return host ? host->ReleaseCaptureOf(this) : 0;
}

LRESULT CPanelX::InvokeOnUiThread(UINT message, WPARAM wparam, LPARAM lparam) {
  CWindowX* host = GetHostWindow();
  if (!host || !host->hwnd()) return -1;
  AddRef();
  InvokeRecord record = {lparam, wparam, 0, this};
  invoke_records::Register(&record);
  LRESULT r = SendMessageW(host->hwnd(), WM_INVOKE_ON_UI_THREAD, message, reinterpret_cast<LPARAM>(&record));
  invoke_records::Take(&record);
  Release();
  return r;
}

LRESULT CPanelX::InvokeOnUiThreadAlloc(UINT message, WPARAM wparam, LPARAM lparam) {
  CWindowX* host = GetHostWindow();
  if (!host || !host->hwnd()) return -1;
  InvokeRecord* record = new (std::nothrow) InvokeRecord{lparam, wparam, 1, this};
  if (!record) return -1;
  AddRef();  // the window releases it with the record
  invoke_records::Register(record);
  LRESULT r = SendMessageW(host->hwnd(), WM_INVOKE_ON_UI_THREAD, message, reinterpret_cast<LPARAM>(record));
  // The sender frees the record and its reference in every case, also when
  // the window was gone and never saw it: the window only runs the request.
  invoke_records::Take(record);
  Release();
  delete record;
  return r;
}

LRESULT CPanelX::SimulateMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  int handled = 0;
  LRESULT result = 0;
  HRESULT hr = HandleMessage(&handled, message, wparam, lparam, &result, 0);
  if (hr == ROUTE_CONTINUE || hr == ROUTE_HANDLED) HandleMessageLate(&handled, message, wparam, lparam, &result, 0);
  return 0;
}

// --- layout and painting ----------------------------------------------------

void CPanelX::InvalidateLayout(bool repaint) {
  // iterative over the subtree
  std::vector<CPanelX*> pending{this};
  while (!pending.empty()) {
    CPanelX* p = pending.back();
    pending.pop_back();
    p->layout_dirty_ = true;
    pending.insert(pending.end(), p->children_.begin(), p->children_.end());
  }
  if (repaint) InvalidateVisual(nullptr);
}

void CPanelX::GetRect(RECT* rect, bool visible) {
  if (layout_dirty_) {
    if (IsDetached() && owner_) {
      owner_->GetClientArea(&rect_);
      visible_rect_ = rect_;
    } else if (parent_) {
      parent_->ComputeRects(&rect_, this, &visible_rect_);
    } else {
      SetRectEmpty(&rect_);
      SetRectEmpty(&visible_rect_);
    }
    layout_dirty_ = false;
  }
  *rect = visible ? visible_rect_ : rect_;
}

void CPanelX::ComputeRects(RECT* rect, CPanelX* child, RECT* visible) {
  RECT own, own_visible;
  GetRect(&own, false);
  GetRect(&own_visible, true);
  if (!child) {
    *rect = own;
    if (visible) *visible = own_visible;
    return;
  }
  RECT r = own;
  ArrangeChild(&r, child);
  *rect = r;
  if (visible && !IntersectRect(visible, &r, &own_visible)) SetRectEmpty(visible);
}

bool CPanelX::GetChildAlignmentX(CPanelX* child, int32_t* v) const {
  auto it = child_align_x_.find(child);
  if (it == child_align_x_.end()) return false;
  *v = it->second;
  return true;
}

bool CPanelX::GetChildAlignmentY(CPanelX* child, int32_t* v) const {
  auto it = child_align_y_.find(child);
  if (it == child_align_y_.end()) return false;
  *v = it->second;
  return true;
}

// The plain panel's rule (core/layout_rules): inside the margins, a set size
// smaller than the space is placed by the child's alignment (its attached
// value, else this panel's default); otherwise the child stretches.
void CPanelX::ArrangeChild(RECT* rect, CPanelX* child) {
  *rect = ToRect(ArrangePlain(ToLRect(*rect), LayoutItemOf(this, child), alignment_x_, alignment_y_));
}

void CPanelX::InvalidateVisual(const RECT* rect) {
  if (!IsVisible()) return;
  CWindowX* host = GetHostWindow();
  if (!host) return;
  RECT r;
  if (rect) r = *rect;
  else GetRect(&r, false);
  host->AddDirtyRect(r);
}

HRESULT CPanelX::Render(IRenderX* renderer, const RECT* clip) {
  if (!renderer || !IsVisible()) return S_OK;  // hidden subtrees are not visited
  RECT rect, visible, area;
  GetRect(&rect, false);
  GetRect(&visible, true);
  if (clip) {
    if (!IntersectRect(&area, &visible, clip)) return S_OK;
  } else if (!CopyRect(&area, &visible) || IsRectEmpty(&area)) {
    return S_OK;
  }
  renderer->SetClip(&area);
  HRESULT hr = RenderBackground(renderer, rect, area);
  if (SUCCEEDED(hr)) hr = RenderContent(renderer, rect, area);
  if (SUCCEEDED(hr)) hr = RenderChildren(renderer, rect, area);
  if (SUCCEEDED(hr)) {
    renderer->SetClip(&area);
    hr = RenderOverlay(renderer, rect, area);
  }
  return FAILED(hr) ? hr : S_OK;
}

HRESULT CPanelX::RenderBackground(IRenderX* renderer, const RECT& rect, const RECT&) {
  if (!background_) return S_OK;
  return background_->Draw(renderer, rect, 0);
}

HRESULT CPanelX::RenderChildren(IRenderX* renderer, const RECT&, const RECT& clip) {
  std::vector<CPanelX*> snapshot(children_);
  for (CPanelX* c : snapshot) {
    HRESULT hr = c->Render(renderer, &clip);
    if (FAILED(hr)) return hr;  // the first failure ends the pass
  }
  return S_OK;
}

void CPanelX::OnCreated() {
  std::vector<CPanelX*> snapshot(children_);
  for (CPanelX* c : snapshot) c->OnCreated();
}

void CPanelX::OnClosing() {
  std::vector<CPanelX*> snapshot(children_);
  for (CPanelX* c : snapshot) c->OnClosing();
}

void CPanelX::ApplyCursor(int* handled) {
  if (cursor_kind_ == 16 && custom_cursor_) {
    ::SetCursor(custom_cursor_);
    *handled = 1;
  } else if (cursor_kind_ >= 1 && cursor_kind_ <= 15) {
    ::SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(kSystemCursors[cursor_kind_])));
    *handled = 1;
  } else {
    *handled = 0;
  }
}

void CPanelX::NotifyListener(MouseEvent which) {
  if (CEventListenerX* l = listeners_[which]) {
    l->AddRef();
    l->Notify(this, which);
    l->Release();
  }
}

HRESULT CPanelX::LoadCursorAttribute(const CXmlAttributesX& attributes) {
  attributes.GetEnum(L"Cursor", kCursorWords, std::size(kCursorWords), &cursor_kind_);
  return S_OK;
}

HRESULT CPanelX::HandleMessage(int* handled, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result,
                               UINT flags) {
  if (flags & 1) {
    // broadcast: the front-most, deepest panels first
    std::vector<CPanelX*> snapshot(children_);
    for (CPanelX* c : snapshot) c->AddRef();
    HRESULT answer = ROUTE_CONTINUE;
    for (size_t k = snapshot.size(); k > 0; --k) {
      if (answer == ROUTE_CONTINUE &&
          snapshot[k - 1]->HandleMessage(handled, message, wparam, lparam, result, flags) != ROUTE_CONTINUE)
        answer = ROUTE_CHILD_HANDLED;
    }
    for (CPanelX* c : snapshot) c->Release();
    if (answer != ROUTE_CONTINUE) return answer;
  }
  CWindowX* host = GetHostWindow();
  if (!host) return E_FAIL;
  if (!IsVisible() || GetNoActive()) return ROUTE_CONTINUE;
  AddRef();  // a hook or handler may remove this panel from the tree
  HRESULT reaction = ROUTE_CONTINUE;
  switch (message) {
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP:
      OnMouseUp();
      reaction = ROUTE_HANDLED;
      break;
    case WM_MOUSEMOVE:
      if (!hovered_) {
        hovered_ = true;
        OnMouseEnter();
      }
      reaction = ROUTE_HANDLED;
      break;
    case WM_LBUTTONDOWN:
      OnMouseDown();
      if (GetDragWindow() && host->hwnd()) {
        POINT pt = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
        ClientToScreen(host->hwnd(), &pt);  // the message takes screen coordinates
        PostMessageW(host->hwnd(), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
      }
      reaction = ROUTE_HANDLED;
      break;
    case WM_MOUSELEAVE:
      if (hovered_) {
        hovered_ = false;
        OnMouseLeave();
        reaction = ROUTE_HANDLED;
      }
      break;
    default:
      break;
  }
  HRESULT hr = ROUTE_CONTINUE;
  auto it = handlers_.find(message);
  if (it != handlers_.end() && !it->second.empty()) {
    if (!IsEnabled(false)) {
      hr = reaction;
    } else {
      const std::wstring handler = it->second;
      hr = host->OnEvent(handler, this, message, result, wparam, lparam);
      if (hr == ROUTE_HANDLED && handled) *handled = 1;
    }
  }
  Release();
  return hr;
}

HRESULT CPanelX::HandleMessageLate(int* handled, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result,
                                   UINT flags) {
  if (!(flags & 1)) return ROUTE_CONTINUE;
  std::vector<CPanelX*> snapshot(children_);
  for (CPanelX* c : snapshot) c->AddRef();
  HRESULT answer = ROUTE_CONTINUE;
  for (size_t k = snapshot.size(); k > 0; --k) {
    if (answer == ROUTE_CONTINUE &&
        snapshot[k - 1]->HandleMessageLate(handled, message, wparam, lparam, result, flags) != ROUTE_CONTINUE)
      answer = ROUTE_CHILD_HANDLED;
  }
  for (CPanelX* c : snapshot) c->Release();
  return answer;
}

void CPanelX::SetOwner(CWindowX* window) {
  owner_ = window;
  SetFlag(kFlagDetached, window != nullptr);
  layout_dirty_ = true;
}

// --- markup -----------------------------------------------------------------

HRESULT CPanelX::SetAttachedProperty(const std::wstring& property, const std::wstring& value, IElementX* child) {
  CPanelX* panel = dynamic_cast<CPanelX*>(child);
  int32_t v = 0;
  if (EqualsNoCase(property, L"AlignmentX")) {
    if (panel && ParseEnum(value, kAttachedAlignWords, std::size(kAttachedAlignWords), &v))
      child_align_x_[panel] = v;
    return S_OK;
  }
  if (EqualsNoCase(property, L"AlignmentY")) {
    if (panel && ParseEnum(value, kAttachedAlignWords, std::size(kAttachedAlignWords), &v))
      child_align_y_[panel] = v;
    return S_OK;
  }
  return S_FALSE;
}

HRESULT CPanelX::LoadAttributes(const CXmlAttributesX& a) {
  uint32_t color = 0;
  if (a.GetColor(L"Background", &color)) {
    HRESULT hr = SetBackgroundColor(color);
    if (FAILED(hr)) return hr;
  }
  a.GetInt(L"Width", &width_);
  a.GetInt(L"Height", &height_);
  Numbers margin;
  if (a.GetFourNumbers(L"Margin", &margin))
    margin_ = RECT{margin.Int(0), margin.Int(1), margin.Int(2), margin.Int(3)};
  bool b = false;
  if (a.GetBool(L"Visible", &b)) SetFlag(kFlagVisible, b);
  if (a.GetBool(L"Disable", &b)) SetFlag(kFlagEnabled, !b);
  if (a.GetBool(L"DragWindow", &b)) SetFlag(kFlagDragWindow, b);
  if (a.GetBool(L"TabStop", &b)) SetFlag(kFlagTabStop, b);
  a.GetInt(L"HideSizable", &hide_sizable_);
  if (a.GetBool(L"AutoWidth", &b)) SetFlag(kFlagAutoWidth, b);
  if (a.GetBool(L"AutoHeight", &b)) SetFlag(kFlagAutoHeight, b);
  if (a.GetBool(L"NoActive", &b)) SetFlag(kFlagNoActive, b);
  std::wstring text;
  if (a.GetText(L"OnMessage", &text)) handlers_ = ParseOnMessage(text);
  LoadCursorAttribute(a);
  InvalidateLayout(true);
  a.GetEnum(L"AlignmentX", kOwnAlignXWords, std::size(kOwnAlignXWords), &alignment_x_);
  a.GetEnum(L"AlignmentY", kOwnAlignYWords, std::size(kOwnAlignYWords), &alignment_y_);
  return CElementX::LoadAttributes(a);
}

int CPanelX::CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) {
  if (value) *value = nullptr;
  const bool background = property == L"Background";
  const bool matrix = property == L"Matrix";
  const bool listener = property == L"EventListener";
  if (!background && !matrix && !listener) return CElementX::CreatePropertyElement(property, tag, value);
  if (tag.empty() || !value) return 1;
  IElementX* created = nullptr;
  if (background) {
    created = CreateByName(tag);
  } else if (matrix) {
    created = new (std::nothrow) CMatrixX();
  } else {
    for (const wchar_t* t : kListenerTags)
      if (tag == t) created = new (std::nothrow) CEventListenerX();
  }
  if (!created) return 0;
  created->AddRef();
  *value = created;
  return 1;
}

HRESULT CPanelX::SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) {
  if (property == L"Background") {
    IGraphicX* graphic = nullptr;
    if (!value || FAILED(value->QueryInterface(IID_IGraphicX, reinterpret_cast<void**>(&graphic))))
      return E_INVALIDARG;
    HRESULT hr = SetBackground(graphic);
    graphic->Release();
    return hr;
  }
  if (property == L"Matrix") {
    CMatrixX* m = dynamic_cast<CMatrixX*>(value);
    if (!m) return E_INVALIDARG;
    transform_ = m->values();
    return S_OK;
  }
  if (property == L"EventListener") {
    CEventListenerX* l = dynamic_cast<CEventListenerX*>(value);
    if (!l) return E_INVALIDARG;
    for (int k = 0; k < 4; ++k) {
      if (tag != kListenerTags[k]) continue;
      if (!l->AcceptTarget(this)) return E_FAIL;
      l->AddRef();
      SafeRelease(&listeners_[k]);
      listeners_[k] = l;
      return S_OK;
    }
    return E_INVALIDARG;
  }
  return CElementX::SetPropertyElement(property, tag, value);
}

}  // namespace varnak::ui
