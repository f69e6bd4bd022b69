// CWindowX input: mouse, keyboard and broadcast dispatch, focus and capture
// rules, the cursor, message and thread timers, invocation requests from
// other threads, and centring. Every element called during a dispatch step
// holds a local reference, because handlers may remove it from the tree.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "ui/render.h"
#include "ui/timers.h"
#include "ui/window.h"

namespace varnak::ui {
namespace {

bool VisibleUpTo(CPanelX* element, CPanelX* root) {
  for (CPanelX* p = element; p; p = p->GetParent()) {
    if (!p->IsVisible()) return false;
    if (p == root) break;
  }
  return true;
}

}  // namespace

bool CWindowX::IsLiveElement(const CPanelX* element) {
  if (!element || !content_) return false;
  std::vector<CPanelX*> pending{content_};
  while (!pending.empty()) {
    CPanelX* p = pending.back();
    pending.pop_back();
    if (p == element) return true;
    for (int i = 0, n = p->GetChildCount(); i < n; ++i)
      if (CPanelX* c = p->GetChild(i)) pending.push_back(c);
  }
  return false;
}

bool CWindowX::DispatchInput(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  *result = 0;
  if (message == WM_CREATE) {
    if (OnNativeCreate()) return false;  // the window's own creation steps follow
    *result = -1;                        // no device context or back buffer: creation fails
    return true;
  }
  if (message == WM_INVOKE_ON_UI_THREAD) {
    // act only on records this process registered: a forged lParam is ignored
    if (!invoke_records::Contains(reinterpret_cast<const void*>(lparam))) return true;
    auto* record = reinterpret_cast<InvokeRecord*>(lparam);
    if (!record->panel) return true;
    Hold hold(record->panel);
    *result = record->panel->SimulateMessage(static_cast<UINT>(wparam), record->wparam, record->lparam);
    return true;
  }
  if (message == WM_CAPTURECHANGED || message == WM_CANCELMODE) {
    if (capture_ && (message == WM_CANCELMODE || reinterpret_cast<HWND>(lparam) != hwnd_)) {
      CPanelX* lost = capture_;
      Hold hold(lost);
      capture_ = nullptr;
      lost->OnCaptureLost();
    }
    return false;
  }
  if (!content_) return false;

  int handled = 0;
  if (message == WM_TIMER) {
    auto found = timers_.find(static_cast<UINT_PTR>(wparam));
    if (found != timers_.end()) {
      CPanelX* element = found->second.element;
      const UINT_PTR id = found->second.id;
      const int group = found->second.group;
      Hold hold(element);  // the hook may kill its timer and drop the map's reference
      element->HandleMessage(&handled, WM_TIMER, id, lparam, result, 0);
      if (handled) return true;
      if ((group == 0 ? element->OnWindowTimer(id) : element->OnWindowTimerAlt(id)) != 0) return true;
      element->HandleMessageLate(&handled, WM_TIMER, id, lparam, result, 0);
      return true;
    }
    return false;  // timers the window does not own go on (the application may own them)
  }

  if (message >= WM_MOUSEFIRST && message <= 0x20D && message != WM_MOUSEWHEEL) {
    if (CPanelX* target = capture_) {
      Hold hold(target);
      target->HandleMessage(&handled, message, wparam, lparam, result, 0);
      target->HandleMessageLate(&handled, message, wparam, lparam, result, 0);
      if (!handled && message != WM_MOUSEMOVE) ReleaseCaptureOf(target);
      return handled != 0;
    }
    const int x = static_cast<short>(LOWORD(lparam)), y = static_cast<short>(HIWORD(lparam));
    CPanelX* hit = content_->HitTest(x, y);
    if (!hit) return false;
    Hold hold(hit);
    if (message == WM_MOUSEMOVE) {
      if (hovered_ && hovered_ != hit) {
        CPanelX* old = hovered_;
        Hold hold_old(old);
        int leave_handled = 0;
        LRESULT leave_result = 0;
        old->HandleMessage(&leave_handled, WM_MOUSELEAVE, 0, 0, &leave_result, 0);
        old->HandleMessageLate(&leave_handled, WM_MOUSELEAVE, 0, 0, &leave_result, 0);
      }
      hovered_ = hit;
    } else if (message == WM_LBUTTONDOWN) {
      SetFocusedElement(hit, true);
    }
    hit->HandleMessage(&handled, message, wparam, lparam, result, 0);
    if (!handled) hit->HandleMessageLate(&handled, message, wparam, lparam, result, 0);
    return handled != 0;
  }

  // everything else goes to the whole tree, front-most and deepest first
  {
    Hold hold(content_);
    CPanelX* content = content_;
    content->HandleMessage(&handled, message, wparam, lparam, result, 1);
    const bool is_tab = message >= WM_KEYFIRST && message <= 0x10F && wparam == VK_TAB;
    if (is_tab && message == WM_KEYDOWN) tab_down_handled_ = handled != 0;
    else if (is_tab && message == WM_CHAR && handled) tab_down_handled_ = true;
    if (handled) return true;
    switch (message) {
      case WM_SIZE:
      case WM_PAINT:
      case WM_CREATE:
      case WM_NCDESTROY:
        return false;  // the window procedure's own steps
      default:
        break;
    }
    if (OnWindowMessage(hwnd_, message, wparam, lparam, result, 0)) return true;
    content->HandleMessageLate(&handled, message, wparam, lparam, result, 1);
    if (handled) return true;
    if (is_tab) {
      if (message == WM_KEYUP) {
        // a Tab the tree used (an edit box typing it) does not move the focus
        if (!tab_down_handled_) MoveFocus((GetKeyState(VK_SHIFT) & 0x8000) == 0);
        tab_down_handled_ = false;
      }
      *result = 0;
      return true;
    }
  }
  return false;
}

bool CWindowX::OnWindowMessage(HWND, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result, DWORD map_id) {
  if (map_id != 0 || !content_) return false;
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);  // the toolkit's window ends the message loop
      *result = 0;
      return true;
    case WM_CLOSE: {
      Hold hold(content_);
      content_->OnClosing();
      DestroyWindow(hwnd_);
      *result = 0;
      return true;
    }
    case WM_ERASEBKGND:
      *result = 1;  // the back buffer covers everything
      return true;
    case WM_SETCURSOR: {
      POINT pt;
      if (!GetCursorPos(&pt) || !ScreenToClient(hwnd_, &pt)) return false;
      CPanelX* under = content_->HitTest(pt.x, pt.y);
      *result = 1;
      if (!under) return true;  // nothing under the cursor: it stays as it is
      Hold hold_under(under);
      int applied = 0;
      under->ApplyCursor(&applied);
      return applied != 0;  // declined: the class cursor shows
    }
    case WM_THREAD_TIMER_TICK:
      DispatchThreadTimer(static_cast<UINT>(wparam), reinterpret_cast<CPanelX*>(lparam));
      return false;
    default:
      return false;
  }
}

int CWindowX::SetFocusedElement(CPanelX* element, bool on) {
  if (!element) {
    focused_ = nullptr;
    return 1;
  }
  if (on) {
    if (!element->GetTabStop()) return 0;
    if (focused_ == element) return 1;
    CPanelX* old = focused_;
    Hold hold_new(element);
    Hold hold_old(old);
    focused_ = element;
    element->OnGotFocus();
    if (old) old->OnLostFocus(element);
    return 1;
  }
  if (focused_ == element) {
    Hold hold(element);
    focused_ = nullptr;
    element->OnLostFocus(nullptr);
  }
  return 1;
}

int CWindowX::MoveFocus(bool forward) {
  if (!content_) return 0;
  std::vector<CPanelX*> stops;
  CPanelX* content = content_;
  content->CollectElements([content](CPanelX* p) { return p->GetTabStop() && VisibleUpTo(p, content); }, &stops);
  if (stops.empty()) return 1;
  if (!focused_ || stops.size() == 1) return SetFocusedElement(stops.front(), true);
  const size_t n = stops.size();
  for (size_t k = 0; k < n; ++k) {
    const size_t i = forward ? k : n - 1 - k;
    if (stops[i] != focused_) continue;
    const size_t next = forward ? (i + 1) % n : (i + n - 1) % n;
    return SetFocusedElement(stops[next], true);
  }
  return 1;
}

HRESULT CWindowX::SendToSubtree(CPanelX* root, UINT message, WPARAM wparam, LPARAM lparam, CPanelX* except) {
  if (!root) return E_INVALIDARG;
  Hold hold(root);
  int handled = 0;
  LRESULT result = 0;
  if (root != except) {
    HRESULT hr = root->HandleMessage(&handled, message, wparam, lparam, &result, 0);
    if (hr < 0) return hr;
  }
  std::vector<CPanelX*> snapshot;
  for (int i = 0, n = root->GetChildCount(); i < n; ++i)
    if (CPanelX* c = root->GetChild(i)) snapshot.push_back(c);
  for (CPanelX* c : snapshot) c->AddRef();
  for (CPanelX* c : snapshot) SendToSubtree(c, message, wparam, lparam, except);
  for (CPanelX* c : snapshot) c->Release();
  if (root == except) return 0;
  return root->HandleMessageLate(&handled, message, wparam, lparam, &result, 0);
}

int CWindowX::SetMessageTimer(CPanelX* element, UINT_PTR id, UINT interval, int group) {
  if (!element || !hwnd_) return 0;  // no owner window yet: the timer window would be orphaned
  if (!message_timer_) {
    auto* timer = new (std::nothrow) CMessageTimerX(this);
    if (!timer) return 0;
    if (!timer->Create(hwnd_)) {
      delete timer;
      return 0;
    }
    message_timer_ = timer;
  }
  return message_timer_->AddTimer(element, id, interval, group);
}

int CWindowX::KillMessageTimer(CPanelX* element, UINT_PTR id, int group) {
  return message_timer_ ? message_timer_->RemoveTimer(element, id, group) : 0;
}

BOOL CWindowX::SetThreadTimer(CPanelX* element, UINT id, UINT interval, int repeat, const UINT* table, UINT length) {
  if (!element || !hwnd_) return FALSE;
  return thread_timers::Set(this, hwnd_, element, id, interval, repeat, table, length);
}

int CWindowX::KillThreadTimer(CPanelX* element, UINT id) { return thread_timers::Kill(this, element, id); }

void CWindowX::KillAllThreadTimers() { thread_timers::KillWhere(this, nullptr); }

void CWindowX::DispatchThreadTimer(UINT id, CPanelX* element) {
  // lParam may come from anywhere: act only on a live element of this tree
  if (!hwnd_ || !IsLiveElement(element)) return;
  Hold hold(element);
  element->OnThreadTimer(id);
}

void CWindowX::CenterWindow() {
  if (!hwnd_) return;
  HWND owner = GetWindow(hwnd_, GW_OWNER);
  if (owner && (!IsWindowVisible(owner) || IsIconic(owner))) owner = nullptr;
  MONITORINFO mi = {};
  mi.cbSize = sizeof mi;
  if (!GetMonitorInfoW(MonitorFromWindow(owner ? owner : hwnd_, MONITOR_DEFAULTTONEAREST), &mi)) return;
  const RECT bounds = mi.rcWork;
  RECT area = bounds;
  if (owner) ::GetWindowRect(owner, &area);
  RECT wr;
  if (!::GetWindowRect(hwnd_, &wr)) return;
  const LONG w = wr.right - wr.left, h = wr.bottom - wr.top;
  LONG left = (area.left + area.right) / 2 - w / 2;
  LONG top = (area.top + area.bottom) / 2 - h / 2;
  if (left + w > bounds.right) left = bounds.right - w;
  if (left < bounds.left) left = bounds.left;
  if (top + h > bounds.bottom) top = bounds.bottom - h;
  if (top < bounds.top) top = bounds.top;
  SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- creation and the window's operations ------------------------------------------

BOOL CWindowX::CreateNativeWindow(HWND parent, const wchar_t* caption) {
  create_parent_ = parent;
  create_caption_ = caption;
  const BOOL ok = CreateNativeWindow();
  create_parent_ = nullptr;
  create_caption_ = nullptr;
  return ok;
}

bool CWindowX::OnNativeCreate() {
  MoveWindow(hwnd_, placement_.left, placement_.top, std::max<LONG>(width(), 0), std::max<LONG>(height(), 0), FALSE);
  if (content_) {
    Hold hold(content_);
    content_->OnCreated();
  }
  // the back buffer covers the client area (at least one pixel, so that a
  // window of no size still has one) and is compatible with the window's DC
  RECT client;
  if (!hwnd_ || !::GetClientRect(hwnd_, &client)) return false;
  HDC dc = GetDC(hwnd_);
  if (!dc) return false;
  auto buffer = std::make_unique<COffscreenBuffer>();
  const bool made = buffer->Resize(std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1), dc);
  ReleaseDC(hwnd_, dc);
  if (!made) return false;
  buffer->SetCopyRect(client);
  back_buffer_ = std::move(buffer);
  return true;
}

BOOL CWindowX::GetClientRect(RECT* rect) {
  if (!rect) return FALSE;
  if (hwnd_ && ::GetClientRect(hwnd_, rect)) return TRUE;
  SetRectEmpty(rect);
  return FALSE;
}

BOOL CWindowX::GetWindowRect(RECT* rect) {
  if (!rect) return FALSE;
  if (hwnd_ && ::GetWindowRect(hwnd_, rect)) return TRUE;
  SetRectEmpty(rect);
  return FALSE;
}

int CWindowX::InvalidateWindowRect(const RECT* rect, bool now) {
  RECT area;
  if (rect) area = *rect;
  else GetClientArea(&area);
  if (now) {
    AddDirtyRect(area);
    return 1;
  }
  if (!IsRectEmpty(&area)) {
    RECT united;
    UnionRect(&united, &dirty_, &area);
    dirty_ = united;
  }
  return 1;
}

int CWindowX::FindElementById(int32_t id, CPanelX** out) {
  if (!out) return 0;
  *out = nullptr;
  return content_ ? content_->FindElementById(id, out) : 0;
}

int CWindowX::FindElementByName(const std::wstring& name, CPanelX** out) {
  if (!out) return 0;
  *out = nullptr;
  return content_ ? content_->FindElementByName(name, out) : 0;
}

// --- window timers -------------------------------------------------------------------

int CWindowX::SetWindowTimer(CPanelX* element, UINT_PTR id, UINT interval, int group) {
  if (!element || id == 0 || interval == 0) return E_INVALIDARG;
  if (!hwnd_) return E_FAIL;  // SetTimer without a window would make a thread timer nobody dispatches
  // ascending native ids: the first gap (or count + 1) is the new id
  UINT_PTR chosen = 1;
  for (const auto& t : timers_) {
    if (t.second.element == element && t.second.id == id && t.second.group == group) return 0;
    if (t.first == chosen) ++chosen;
  }
  if (!SetTimer(hwnd_, chosen, interval, nullptr)) return E_FAIL;
  element->AddRef();
  timers_[chosen] = WindowTimer{element, id, group};
  return static_cast<int>(chosen);
}

int CWindowX::KillWindowTimer(CPanelX* element, UINT_PTR id, int group) {
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second.element != element || it->second.id != id || it->second.group != group) continue;
    const BOOL killed = hwnd_ ? KillTimer(hwnd_, it->first) : FALSE;
    timers_.erase(it);
    element->Release();  // last: the release may run the element's destructor
    return killed ? 1 : 0;
  }
  return 0;
}

void CWindowX::KillWindowTimers(const std::function<bool(CPanelX*)>& match) {
  std::vector<CPanelX*> released;
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (!match || match(it->second.element)) {
      if (hwnd_) KillTimer(hwnd_, it->first);
      released.push_back(it->second.element);
      it = timers_.erase(it);
    } else {
      ++it;
    }
  }
  // released after the walk: a destructor may come back to this map
  for (CPanelX* p : released) p->Release();
}

UINT_PTR CWindowX::NativeTimerId(CPanelX* element, UINT_PTR id, int group) const {
  for (const auto& t : timers_)
    if (t.second.element == element && t.second.id == id && t.second.group == group) return t.first;
  return 0;
}

// --- the panel's host operations for these timers ------------------------------

int CPanelX::StartMessageTimer(UINT_PTR id, UINT interval) {
  CWindowX* host = GetHostWindow();
  return host ? host->SetMessageTimer(this, id, interval, 0) : 0;
}
int CPanelX::StartMessageTimerAlt(UINT_PTR id, UINT interval) {
  CWindowX* host = GetHostWindow();
  return host ? host->SetMessageTimer(this, id, interval, 1) : 0;
}
int CPanelX::StopMessageTimer(UINT_PTR id) {
  CWindowX* host = GetHostWindow();
  return host ? host->KillMessageTimer(this, id, 0) : 0;
}
int CPanelX::StopMessageTimerAlt(UINT_PTR id) {
  CWindowX* host = GetHostWindow();
  return host ? host->KillMessageTimer(this, id, 1) : 0;
}
BOOL CPanelX::StartThreadTimer(UINT id, UINT interval, int repeat, const UINT* table, UINT length) {
  CWindowX* host = GetHostWindow();
  return host ? host->SetThreadTimer(this, id, interval, repeat, table, length) : FALSE;
}
int CPanelX::StopThreadTimer(UINT id) {
  CWindowX* host = GetHostWindow();
  return host ? host->KillThreadTimer(this, id) : 0;
}

}  // namespace varnak::ui
