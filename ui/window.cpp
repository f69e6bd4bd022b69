// CWindowX (see window.h).
#include "ui/window.h"

#include <algorithm>
#include <vector>

#include "ui/render.h"
#include "ui/timers.h"

namespace varnak::ui {
namespace {

constexpr wchar_t kWindowClass[] = L"Window";
// The window being created, bound at its very first message. Windows are
// created on the window thread only; a plain static keeps thread_local's
// runtime (which needs routines XP lacks) out of the program.
CWindowX* g_creating = nullptr;

bool InSubtree(CPanelX* root, CPanelX* element) {
  for (CPanelX* p = element; p; p = p->GetParent())
    if (p == root) return true;
  return false;
}

}  // namespace

CWindowX::CWindowX() = default;

HDC CWindowX::GetBackBufferDC() const { return back_buffer_ ? back_buffer_->dc() : nullptr; }

void CWindowX::UniteDirtyRect(const RECT& rect) {
  if (IsRectEmpty(&rect)) return;
  RECT united;
  UnionRect(&united, &dirty_, &rect);
  dirty_ = united;
}

HRESULT CWindowX::Paint(HDC dc) {
  if (!renderer_) return E_FAIL;
  if (!back_buffer_) return S_FALSE;
  if (dc && hwnd_) {
    HWND owner = WindowFromDC(dc);
    if (owner && owner != hwnd_) return E_FAIL;
  }
  if (IsRectEmpty(&dirty_)) return S_OK;
  const RECT area = dirty_;
  ClearDirtyRect();  // also when the pass fails: the next change starts afresh
  RECT client;
  if (!hwnd_ || !::GetClientRect(hwnd_, &client)) return E_FAIL;
  if (!back_buffer_->Resize(std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1))) return E_FAIL;
  back_buffer_->SetCopyRect(client);
  // a failing drawable ends the pass, but what was drawn before it is shown
  // (and the rest of the buffer still holds the last paint)
  return back_buffer_->Paint(content_, &area, renderer_.get());
}

bool CWindowX::Present() {
  if (!back_buffer_ || !hwnd_) return false;
  HDC dc = GetDC(hwnd_);
  if (!dc) return false;
  const bool ok = back_buffer_->CopyTo(dc, back_buffer_->copy_rect());
  ReleaseDC(hwnd_, dc);
  return ok;
}

// Redraws the invalid part of the tree into the back buffer and copies that
// part to the window.
void CWindowX::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  // what the system finds invalid is redrawn too (a first showing, a resize)
  UniteDirtyRect(ps.rcPaint);
  Paint(dc);
  if (back_buffer_) back_buffer_->CopyTo(dc, ps.rcPaint);
  EndPaint(hwnd_, &ps);
}

CWindowX::~CWindowX() {
  KillAllThreadTimers();  // before anything else: the worker only needs the HWND
  DestroyNativeWindow();
  KillWindowTimers(nullptr);  // also when the native window went first
  DestroyMessageTimer(message_timer_);
  message_timer_ = nullptr;
  hovered_ = focused_ = capture_ = nullptr;
  if (content_) {
    CPanelX* content = content_;
    content_ = nullptr;
    content->SetOwner(nullptr);
    content->Release();
  }
}

HRESULT CWindowX::LoadAttributes(const CXmlAttributesX& attributes) {
  // Left/Top move the rectangle, then Width/Height size it from its corner.
  Numbers rect;
  if (attributes.GetFourNumbers(L"Rect", &rect) && rect.set)
    placement_ = RECT{rect.Int(0), rect.Int(1), rect.Int(2), rect.Int(3)};
  int32_t v = 0;
  if (attributes.GetInt(L"Left", &v)) OffsetRect(&placement_, v - placement_.left, 0);
  if (attributes.GetInt(L"Top", &v)) OffsetRect(&placement_, 0, v - placement_.top);
  if (attributes.GetInt(L"Width", &v)) placement_.right = placement_.left + v;
  if (attributes.GetInt(L"Height", &v)) placement_.bottom = placement_.top + v;
  attributes.GetBool(L"ForceGdiplus", &force_gdiplus_);
  // kept for creation; a live window shows it at once
  if (attributes.GetText(L"Title", &title_) && hwnd_) SetWindowTextW(hwnd_, title_.c_str());
  return CElementX::LoadAttributes(attributes);
}

HRESULT CWindowX::SetContent(CPanelX* content) {
  if (content && content == content_) return S_OK;  // the same panel keeps its single reference
  if (!content || content->GetParent() || content->owner()) return E_FAIL;
  content->AddRef();
  if (content_) {
    ForgetElement(content_, true);
    content_->SetOwner(nullptr);
    content_->Release();
  }
  content_ = content;
  content_->SetOwner(this);
  content_->InvalidateLayout(false);
  return S_OK;
}

BOOL CWindowX::CreateNativeWindow() {
  if (hwnd_) return TRUE;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExW(instance, kWindowClass, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpfnWndProc = &CWindowX::StaticWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&wc)) return FALSE;
  }
  // Direct2D unless the skin forces GDI+ or Direct2D fails here; chosen
  // before the window exists, so that its first paint uses it
  if (!renderer_) renderer_.reset(ChooseRenderer(force_gdiplus_), [](IRenderX* r) { SafeRelease(&r); });
  // created at the system default; WM_CREATE moves it to the placement
  g_creating = this;
  HWND hwnd = CreateWindowExW(ExtendedStyle(), kWindowClass, create_caption_ ? create_caption_ : title_.c_str(), WS_POPUP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, create_parent_, nullptr,
                              instance, nullptr);
  g_creating = nullptr;
  if (!hwnd) return FALSE;
  hwnd_ = hwnd;
  if (content_) content_->InvalidateLayout(false);
  return TRUE;
}

void CWindowX::DestroyNativeWindow() {
  if (!hwnd_) return;
  KillWindowTimers(nullptr);
  DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

LRESULT CALLBACK CWindowX::StaticWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  CWindowX* self = reinterpret_cast<CWindowX*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self && g_creating) {
    self = g_creating;
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    // the object outlives its native window
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->KillWindowTimers(nullptr);  // they died with the native window
    self->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return self->WindowProc(message, wparam, lparam);
}

LRESULT CWindowX::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (LRESULT taken = 0; DispatchInput(message, wparam, lparam, &taken)) return taken;
  switch (message) {
    case WM_INVOKE_ON_UI_THREAD: {
      InvokeRecord* record = reinterpret_cast<InvokeRecord*>(lparam);
      if (!record || !record->panel) return -1;
      LRESULT r = record->panel->SimulateMessage(static_cast<UINT>(wparam), record->wparam, record->lparam);
      if (record->delete_flag) {
        record->panel->Release();
        delete record;
      }
      return r;
    }
    case WM_SIZE:
      if (content_) content_->OnResized();
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the back buffer covers everything
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lparam) != hwnd_) capture_ = nullptr;
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

HRESULT CWindowX::OnEvent(const std::wstring&, CPanelX*, UINT, LRESULT*, WPARAM, LPARAM) { return ROUTE_CONTINUE; }

void CWindowX::ForgetElement(CPanelX* element, bool subtree) {
  if (!element) return;
  auto gone = [&](CPanelX* p) { return p && (p == element || (subtree && InSubtree(element, p))); };
  if (gone(hovered_)) hovered_ = nullptr;
  if (gone(focused_)) focused_ = nullptr;
  if (gone(capture_)) {
    capture_ = nullptr;
    if (hwnd_ && GetCapture() == hwnd_) ::ReleaseCapture();
  }
  ForgetTimersOf(message_timer_, this, element, subtree);
  KillWindowTimers(gone);
}

int CWindowX::FocusElement(CPanelX* panel) {
  if (focused_ == panel) return 1;
  CPanelX* old = focused_;
  focused_ = panel;
  if (old) old->OnLostFocus(panel);
  if (panel) panel->OnGotFocus();
  return 1;
}

int CWindowX::KillFocusOf(CPanelX* panel) {
  if (focused_ != panel || !panel) return 0;
  focused_ = nullptr;
  panel->OnLostFocus(nullptr);
  return 1;
}

int CWindowX::CaptureElement(CPanelX* panel) {
  if (hwnd_ && GetCapture() != hwnd_) ::SetCapture(hwnd_);
  capture_ = panel;
  return 1;
}

int CWindowX::ReleaseCaptureOf(CPanelX* panel) {
  if (capture_ != panel) return 0;
  capture_ = nullptr;
  if (hwnd_ && GetCapture() == hwnd_) ::ReleaseCapture();
  return 1;
}

void CWindowX::AddDirtyRect(const RECT& rect) {
  if (IsRectEmpty(&rect)) return;
  RECT u;
  UnionRect(&u, &dirty_, &rect);
  dirty_ = u;
  if (hwnd_) InvalidateRect(hwnd_, &rect, FALSE);
}

void CWindowX::GetClientArea(RECT* rect) {
  if (hwnd_ && ::GetClientRect(hwnd_, rect)) return;
  *rect = RECT{0, 0, std::max<LONG>(width(), 0), std::max<LONG>(height(), 0)};
}

// --- CLayeredWindowX -------------------------------------------------------------

HRESULT CLayeredWindowX::LoadAttributes(const CXmlAttributesX& attributes) {
  int32_t alpha = 0;
  if (attributes.GetInt(L"MaxAlpha", &alpha)) SetMaxAlpha(alpha);
  return CWindowX::LoadAttributes(attributes);
}

void CLayeredWindowX::AddDirtyRect(const RECT& rect) {
  if (IsRectEmpty(&rect) || !hwnd()) return;
  UniteDirtyRect(rect);
  HDC dc = GetDC(hwnd());
  Paint(dc);
  if (dc) ReleaseDC(hwnd(), dc);
  Present();
}

LRESULT CLayeredWindowX::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {  // the system does not paint layered windows: nothing to validate but this
    PAINTSTRUCT ps;
    BeginPaint(hwnd(), &ps);
    EndPaint(hwnd(), &ps);
    return 0;
  }
  if (message == WM_SIZE) {
    LRESULT r = CWindowX::WindowProc(message, wparam, lparam);
    RECT client;
    if (::GetClientRect(hwnd(), &client)) AddDirtyRect(client);
    return r;
  }
  return CWindowX::WindowProc(message, wparam, lparam);
}

bool CLayeredWindowX::Present() {
  COffscreenBuffer* buffer = back_buffer();
  RECT client;
  if (!buffer || !buffer->bits() || !hwnd() || !::GetClientRect(hwnd(), &client) || client.right <= 0 ||
      client.bottom <= 0)
    return false;
  const int w = std::min<int>(client.right, buffer->width()), h = std::min<int>(client.bottom, buffer->height());
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(buffer->dc());
  HBITMAP dib = memory ? CreateDIBSection(memory, &bi, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  bool ok = false;
  if (dib) {
    // the buffer keeps straight alpha; UpdateLayeredWindow wants it premultiplied
    uint32_t* out = static_cast<uint32_t*>(bits);
    const uint32_t* in = buffer->bits();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t c = in[static_cast<size_t>(y) * buffer->width() + x];
        const uint32_t a = c >> 24;
        const uint32_t r = ((c >> 16) & 255) * a / 255, g = ((c >> 8) & 255) * a / 255, b = (c & 255) * a / 255;
        out[static_cast<size_t>(y) * w + x] = a << 24 | r << 16 | g << 8 | b;
      }
    HGDIOBJ old = SelectObject(memory, dib);
    SIZE size = {w, h};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, max_alpha_, AC_SRC_ALPHA};
    ok = UpdateLayeredWindow(hwnd(), nullptr, nullptr, &size, memory, &source, 0, &blend, ULW_ALPHA) != FALSE;
    SelectObject(memory, old);
    DeleteObject(dib);
  }
  if (memory) DeleteDC(memory);
  ClearDirtyRect();
  return ok;
}

}  // namespace varnak::ui
