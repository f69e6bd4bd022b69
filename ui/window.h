// CWindowX: ties an element tree to one native top-level window. This is
// the part the element model needs: the content panel, the native window
// with the private request message, the hovered, focused and capture slots,
// window timers, the dirty region, and OnEvent, through which named
// handlers reach the application. Rendering and input dispatch build on it.
#ifndef VARNAK_UI_WINDOW_H
#define VARNAK_UI_WINDOW_H

#include <map>
#include <memory>

#include "ui/panel.h"

namespace varnak::ui {

class COffscreenBuffer;
class CMessageTimerX;
class IRenderX;

class CWindowX : public CElementX {
 public:
  CWindowX();

  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;

  // Takes a reference on the content and makes it detached.
  virtual HRESULT SetContent(CPanelX* content);
  CPanelX* GetContent() const { return content_; }
  // Creates the native window hidden; zero on failure.
  virtual BOOL CreateNativeWindow();
  // The same with an owner window and a caption (null: the stored Title).
  BOOL CreateNativeWindow(HWND parent, const wchar_t* caption);
  virtual void DestroyNativeWindow();
  HWND hwnd() const { return hwnd_; }

  // The application's side of named events; the base keeps routing.
  virtual HRESULT OnEvent(const std::wstring& handler, CPanelX* sender, UINT message, LRESULT* result,
                          WPARAM wparam, LPARAM lparam);

  // Interaction state. An element leaving the tree or going away is
  // forgotten: hovered, focused and capture slots and its window timers.
  virtual void ForgetElement(CPanelX* element, bool subtree);
  CPanelX* hovered() const { return hovered_; }
  void SetHovered(CPanelX* panel) { hovered_ = panel; }
  CPanelX* focused() const { return focused_; }
  CPanelX* capture() const { return capture_; }
  int FocusElement(CPanelX* panel);
  int KillFocusOf(CPanelX* panel);
  int CaptureElement(CPanelX* panel);
  int ReleaseCaptureOf(CPanelX* panel);

  // Window timers of group 0 and 1 for elements of the tree. SetWindowTimer
  // answers the native timer id (the smallest free one), 0 when the same
  // timer already runs (its interval unchanged), E_INVALIDARG for a null
  // element, id 0 or interval 0, E_FAIL when the system refuses it. The map
  // holds a reference on the element until the timer is killed.
  virtual int SetWindowTimer(CPanelX* element, UINT_PTR id, UINT interval, int group);
  virtual int KillWindowTimer(CPanelX* element, UINT_PTR id, int group);
  int StartTimer(CPanelX* panel, UINT_PTR id, UINT interval, int group) {
    return SetWindowTimer(panel, id, interval, group);
  }
  int StopTimer(CPanelX* panel, UINT_PTR id, int group) { return KillWindowTimer(panel, id, group); }
  size_t TimerCount() const { return timers_.size(); }
  // The native id of a running window timer, 0 when there is none.
  UINT_PTR NativeTimerId(CPanelX* element, UINT_PTR id, int group) const;

  virtual void AddDirtyRect(const RECT& rect);
  const RECT& dirty_rect() const { return dirty_; }
  void ClearDirtyRect() { SetRectEmpty(&dirty_); }
  virtual void GetClientArea(RECT* rect);
  // Input, focus and timers (window_input.cpp).
  // Answers true when the message was taken; *result is then its answer.
  virtual bool DispatchInput(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);
  // The window's own handling of a message the tree left (destroy, close,
  // erase, cursor, thread-timer ticks); true when handled. Map ids other
  // than 0 belong to derived classes.
  virtual bool OnWindowMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result, DWORD map_id);
  virtual int SetFocusedElement(CPanelX* element, bool on);
  virtual int MoveFocus(bool forward);
  virtual HRESULT SendToSubtree(CPanelX* root, UINT message, WPARAM wparam, LPARAM lparam, CPanelX* except);
  virtual int SetMessageTimer(CPanelX* element, UINT_PTR id, UINT interval, int group);
  virtual int KillMessageTimer(CPanelX* element, UINT_PTR id, int group);
  // Thread timers: ticks come from the process-wide worker as message 0x9000.
  virtual BOOL SetThreadTimer(CPanelX* element, UINT id, UINT interval, int repeat, const UINT* table, UINT length);
  virtual int KillThreadTimer(CPanelX* element, UINT id);
  virtual void KillAllThreadTimers();
  virtual void DispatchThreadTimer(UINT id, CPanelX* element);
  // Centres the window on the work area of its monitor (or over its owner).
  virtual void CenterWindow();
  // True when element is this window's content or one of its descendants;
  // compares pointers only, never dereferences element.
  bool IsLiveElement(const CPanelX* element);
  // The placement read from markup (screen coordinates), applied when the
  // native window is created.
  const RECT& placement() const { return placement_; }
  int32_t width() const { return placement_.right - placement_.left; }
  int32_t height() const { return placement_.bottom - placement_.top; }
  const std::wstring& title() const { return title_; }
  // Operations of the window under their interface names.
  BOOL GetClientRect(RECT* rect);
  BOOL GetWindowRect(RECT* rect);
  // Unites rect (null: the client area) into the dirty rectangle; with now
  // the native window is invalidated at once.
  int InvalidateWindowRect(const RECT* rect, bool now);
  CPanelX* GetFocusedElement() const { return focused_; }
  int SetCaptureElement(CPanelX* element) { return CaptureElement(element); }
  int ReleaseCaptureElement(CPanelX* element) { return ReleaseCaptureOf(element); }
  void OnElementDestroyed(CPanelX* element) { ForgetElement(element, false); }
  int FindElementById(int32_t id, CPanelX** out);
  int FindElementByName(const std::wstring& name, CPanelX** out);
  // GDI+ even where Direct2D exists (skins with pictures or texts set it).
  bool force_gdiplus() const { return force_gdiplus_; }
  // The back end chosen when the native window was made (null before).
  IRenderX* renderer() const { return renderer_.get(); }
  // The back buffer's memory device context (a 32-bit DIB at least as large
  // as the client area); null before the native window is created. GDI
  // drawing into it shows with the next Present or paint.
  HDC GetBackBufferDC() const;
  // Copies the back buffer's shown part (the client area) to the window;
  // false when there is no back buffer or no window.
  virtual bool Present();
  // Renders the dirty rectangle into the back buffer (grown to the client
  // area) and clears it, also when the pass fails; a device context of
  // another window is refused. E_FAIL without a renderer, S_FALSE without a
  // back buffer, otherwise the render pass's result (S_OK when nothing was dirty).
  virtual HRESULT Paint(HDC dc);

 protected:
  ~CWindowX() override;
  virtual LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam);
  virtual DWORD ExtendedStyle() const { return WS_EX_APPWINDOW | WS_EX_WINDOWEDGE; }
  // Unites rect into the dirty rectangle without asking the system to repaint.
  void UniteDirtyRect(const RECT& rect);
  COffscreenBuffer* back_buffer() const { return back_buffer_.get(); }

 private:
  static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  CPanelX* content_ = nullptr;
  HWND hwnd_ = nullptr;
  CPanelX* hovered_ = nullptr;
  CPanelX* focused_ = nullptr;
  CPanelX* capture_ = nullptr;
  struct WindowTimer {
    CPanelX* element;  // one reference
    UINT_PTR id;
    int group;
  };
  std::map<UINT_PTR, WindowTimer> timers_;  // native timer id -> entry
  void KillWindowTimers(const std::function<bool(CPanelX*)>& match);
  RECT dirty_{};
  RECT placement_{};
  std::wstring title_;
  HWND create_parent_ = nullptr;
  const wchar_t* create_caption_ = nullptr;
  // WM_CREATE: the native window moves to the placement, the content is
  // told, the back buffer is made over the client area; false when the
  // window's device context or the back buffer cannot be had.
  bool OnNativeCreate();
  bool force_gdiplus_ = false;
  // the back buffer: grows with the client area, repainted only where dirty
  std::unique_ptr<COffscreenBuffer> back_buffer_;
  std::shared_ptr<IRenderX> renderer_;  // released with the window
  void OnPaint();  // WM_PAINT
  CMessageTimerX* message_timer_ = nullptr;
  bool tab_down_handled_ = false;  // the tree took the key-down or WM_CHAR of this Tab
};

// The per-pixel-alpha window ("LayeredWindow", "BlurBehindWindow"): every
// change is painted at once and shown with UpdateLayeredWindow, the whole
// window faded by MaxAlpha.
class CLayeredWindowX : public CWindowX {
 public:
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  void SetMaxAlpha(int32_t value) { max_alpha_ = static_cast<uint8_t>(value == -1 ? 255 : value); }
  uint8_t GetMaxAlpha() const { return max_alpha_; }
  void AddDirtyRect(const RECT& rect) override;
  // Shows the back buffer with per-pixel alpha (UpdateLayeredWindow).
  bool Present() override;

 protected:
  DWORD ExtendedStyle() const override { return WS_EX_LAYERED; }
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  uint8_t max_alpha_ = 255;
};

}  // namespace varnak::ui

#endif
