// CPanelX, the visual-tree base: children, flags, per-child attached
// values, the OnMessage map, listeners, cursor, invalidation and lazy
// rectangles, searches, and the host operations that forward to the window.
// A panel owns its children (one reference each); the parent pointer and the
// owner window pointer are plain pointers kept in two typed fields.
#ifndef VARNAK_UI_PANEL_H
#define VARNAK_UI_PANEL_H

#include <functional>
#include <map>
#include <vector>

#include "ui/element.h"

namespace varnak::ui {

class CWindowX;
class CEventListenerX;
class IGraphicX;
class IRenderX;

// The private window message that runs a request on the window's thread.
constexpr UINT WM_INVOKE_ON_UI_THREAD = 0x17000;

// The request record of InvokeOnUiThread; pointer-sized fields so that the
// panel pointer survives 64-bit builds.
struct InvokeRecord {
  LPARAM lparam;
  WPARAM wparam;
  INT_PTR delete_flag;
  class CPanelX* panel;
};

// A 2-D affine transform, stored only.
struct MatrixValues {
  float m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
};

enum PanelFlag : uint32_t {
  kFlagTabStop = 1u << 0,
  kFlagVisible = 1u << 1,
  kFlagEnabled = 1u << 2,
  kFlagDetached = 1u << 3,
  kFlagDragWindow = 1u << 4,
  kFlagAutoWidth = 1u << 5,
  kFlagAutoHeight = 1u << 6,
  kFlagNoActive = 1u << 7,
};

enum MouseEvent { kMouseDown = 0, kMouseUp = 1, kMouseEnter = 2, kMouseLeave = 3 };

class CPanelX : public CElementX, public CAlignmentXY {
 public:
  CPanelX();

  // IElementX
  HRESULT SetAttachedProperty(const std::wstring& property, const std::wstring& value, IElementX* child) override;
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  HRESULT SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) override;
  int CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) override;

  // Children. InsertChild refuses null, an element that already has a parent
  // or owner, this panel and its ancestors.
  virtual HRESULT InsertChild(CPanelX* child, int index);
  virtual HRESULT MoveChild(CPanelX* child, int index);
  virtual HRESULT RemoveChildAt(int index);
  virtual HRESULT RemoveAllChildren();
  virtual int GetChildCount() { return static_cast<int>(children_.size()); }
  virtual int IndexOfChild(CPanelX* child);
  virtual CPanelX* FindByName(const std::wstring& name);
  virtual CPanelX* GetChild(int index);
  virtual void SetParent(CPanelX* parent);
  virtual CPanelX* GetParent() { return parent_; }
  virtual CPanelX* HitTest(int x, int y);

  // Background
  virtual HRESULT SetBackground(IGraphicX* graphic);
  virtual HRESULT SetBackgroundColor(uint32_t argb);
  virtual IGraphicX* GetBackground() { return background_; }

  // Geometry
  virtual HRESULT SetWidth(int32_t w);
  virtual HRESULT SetHeight(int32_t h);
  virtual int32_t GetWidth();
  virtual int32_t GetHeight();
  virtual void GetDesiredSize(SIZE* size);
  virtual HRESULT SetMargin(int32_t left, int32_t top, int32_t right, int32_t bottom);
  virtual RECT GetMargin() { return margin_; }
  virtual CWindowX* GetHostWindow();
  virtual HRESULT SetVisible(bool visible);
  virtual bool IsVisible() { return (flags_ & kFlagVisible) != 0; }
  virtual void SetHideSizable(int32_t v) { hide_sizable_ = v; }
  virtual int32_t GetHideSizable() { return hide_sizable_; }
  virtual HRESULT Enable();
  virtual HRESULT Disable();
  virtual bool IsEnabled(bool inherited);
  virtual void SetUserValue(intptr_t v) { user_value_ = v; }
  virtual intptr_t GetUserValue() { return user_value_; }
  virtual void SetDragWindow(bool on) { SetFlag(kFlagDragWindow, on); }
  virtual bool GetDragWindow() { return (flags_ & kFlagDragWindow) != 0; }
  virtual HRESULT SetAutoWidth(bool on);
  virtual bool GetAutoWidth() { return (flags_ & kFlagAutoWidth) != 0; }
  virtual HRESULT SetAutoHeight(bool on);
  virtual bool GetAutoHeight() { return (flags_ & kFlagAutoHeight) != 0; }

  // Searches over descendants (not this panel), pre-order. Results of the
  // Find operations carry a reference; an empty name matches nothing.
  using Predicate = std::function<bool(CPanelX*)>;
  virtual void CollectElements(const Predicate& predicate, std::vector<CPanelX*>* out);
  virtual void CollectElementsById(int32_t id, std::vector<CPanelX*>* out);
  virtual void CollectElementsByName(const std::wstring& name, std::vector<CPanelX*>* out);
  virtual int FindElement(const Predicate& predicate, CPanelX** out);
  virtual int FindElementById(int32_t id, CPanelX** out);
  virtual int FindElementByName(const std::wstring& name, CPanelX** out);

  // Timers (host operations) and their hooks.
  virtual int StartWindowTimer(UINT_PTR id, UINT interval);
  virtual int StartWindowTimerAlt(UINT_PTR id, UINT interval);
  virtual int StopWindowTimer(UINT_PTR id);
  virtual int StopWindowTimerAlt(UINT_PTR id);
  virtual int OnWindowTimer(UINT_PTR) { return 1; }
  virtual int OnWindowTimerAlt(UINT_PTR) { return 1; }

  // Message timers and thread timers (host operations) and their hooks.
  virtual int StartMessageTimer(UINT_PTR id, UINT interval);
  virtual int StartMessageTimerAlt(UINT_PTR id, UINT interval);
  virtual int StopMessageTimer(UINT_PTR id);
  virtual int StopMessageTimerAlt(UINT_PTR id);
  virtual void OnMessageTimer(UINT_PTR) {}
  virtual void OnMessageTimerAlt(UINT_PTR) {}
  virtual BOOL StartThreadTimer(UINT id, UINT interval, int repeat, const UINT* table, UINT length);
  virtual int StopThreadTimer(UINT id);
  virtual void OnThreadTimer(UINT) {}
  // The window lost the mouse capture while this panel held it.
  virtual void OnCaptureLost() {}

  virtual void SetTabStop(bool on) { SetFlag(kFlagTabStop, on); }
  virtual bool GetTabStop() { return (flags_ & kFlagTabStop) != 0; }
  // owned: the panel destroys the cursor when it is replaced or goes away.
  virtual void SetCustomCursor(HCURSOR cursor, bool owned = true);
  virtual void SetCursorKind(int32_t kind) { cursor_kind_ = kind; }
  int32_t GetCursorKind() const { return cursor_kind_; }
  virtual void SetNoActive(bool on) { SetFlag(kFlagNoActive, on); }
  virtual bool GetNoActive() { return (flags_ & kFlagNoActive) != 0; }

  // Focus and capture (host operations).
  virtual CPanelX* GetFocusedElement();
  virtual int SetFocus();
  virtual int KillFocus();
  virtual bool IsFocusWithin();
  virtual int SetCapture();
  virtual int ReleaseCapture();

  // Runs SimulateMessage on the window's thread; -1 without a host.
  virtual LRESULT InvokeOnUiThread(UINT message, WPARAM wparam, LPARAM lparam);
  virtual LRESULT InvokeOnUiThreadAlloc(UINT message, WPARAM wparam, LPARAM lparam);
  virtual LRESULT SimulateMessage(UINT message, WPARAM wparam, LPARAM lparam);

  // Layout and painting.
  virtual void InvalidateLayout(bool repaint);
  virtual void GetRect(RECT* rect, bool visible);
  virtual void ComputeRects(RECT* rect, CPanelX* child, RECT* visible);
  virtual void ArrangeChild(RECT* rect, CPanelX* child);
  virtual void InvalidateVisual(const RECT* rect);
  // Draws the subtree inside clip: background, content, children, overlay.
  virtual HRESULT Render(IRenderX* renderer, const RECT* clip);
  virtual HRESULT RenderBackground(IRenderX* renderer, const RECT& rect, const RECT& clip);
  virtual HRESULT RenderContent(IRenderX*, const RECT&, const RECT&) { return S_OK; }
  virtual HRESULT RenderChildren(IRenderX* renderer, const RECT& rect, const RECT& clip);
  virtual HRESULT RenderOverlay(IRenderX*, const RECT&, const RECT&) { return S_OK; }
  bool IsLayoutDirty() const { return layout_dirty_; }

  // Hooks.
  virtual void OnParentChanged() {}
  virtual void OnCreated();
  virtual void OnResized() { InvalidateLayout(true); }
  virtual void OnClosing();
  virtual void OnGotFocus() { InvalidateVisual(nullptr); }
  virtual void OnLostFocus(CPanelX*) { InvalidateVisual(nullptr); }
  virtual void ApplyCursor(int* handled);
  virtual void OnMouseEnter() { NotifyListener(kMouseEnter); }
  virtual void OnMouseLeave() { NotifyListener(kMouseLeave); }
  virtual void OnMouseDown() { NotifyListener(kMouseDown); }
  virtual void OnMouseUp() { NotifyListener(kMouseUp); }
  virtual HRESULT LoadCursorAttribute(const CXmlAttributesX& attributes);
  virtual HRESULT HandleMessage(int* handled, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result,
                                UINT flags);
  virtual HRESULT HandleMessageLate(int* handled, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result,
                                    UINT flags);

  // Detached content of a window: the window is the owner, no parent.
  virtual void SetOwner(CWindowX* window);
  virtual bool IsDetached() { return (flags_ & kFlagDetached) != 0; }
  CWindowX* owner() const { return owner_; }

  bool GetHovered() const { return hovered_; }
  void SetHovered(bool on) { hovered_ = on; }
  const std::map<uint32_t, std::wstring>& message_handlers() const { return handlers_; }
  const MatrixValues& transform() const { return transform_; }
  CEventListenerX* GetListener(MouseEvent which) { return listeners_[which]; }
  // The attached alignment of a child, or false when it has none.
  bool GetChildAlignmentX(CPanelX* child, int32_t* v) const;
  bool GetChildAlignmentY(CPanelX* child, int32_t* v) const;
  uint32_t flags() const { return flags_; }

  STDMETHODIMP_(ULONG) Release() override;

 protected:
  ~CPanelX() override;
  void SetFlag(uint32_t flag, bool on) {
    flags_ = on ? (flags_ | flag) : (flags_ & ~flag);
  }
  // Called for a child that leaves this panel; destroyed when this was its
  // last reference. Subclasses drop their own per-child values here.
  virtual void OnChildRemoved(CPanelX* child, bool destroyed);
  // Geometry changed: the parent re-arranges (and upward through auto-sized
  // parents), so siblings move and vacated pixels repaint.
  void InvalidateGeometry();
  void NotifyListener(MouseEvent which);
  // Unhooks a child before its reference is dropped.
  void DetachChild(CPanelX* child);

  RECT rect_{};
  RECT visible_rect_{};
  bool layout_dirty_ = true;
  std::vector<CPanelX*> children_;

 private:
  CPanelX* parent_ = nullptr;
  CWindowX* owner_ = nullptr;
  intptr_t user_value_ = 0;
  int32_t width_ = -1;
  int32_t height_ = -1;
  RECT margin_{};
  uint32_t flags_ = kFlagVisible | kFlagEnabled;
  IGraphicX* background_ = nullptr;
  std::map<CPanelX*, int32_t> child_align_x_;
  std::map<CPanelX*, int32_t> child_align_y_;
  std::map<uint32_t, std::wstring> handlers_;
  CEventListenerX* listeners_[4] = {};
  bool hovered_ = false;
  MatrixValues transform_;
  int32_t cursor_kind_ = 0;
  HCURSOR custom_cursor_ = nullptr;
  bool cursor_owned_ = false;
  int32_t hide_sizable_ = 0;
};

}  // namespace varnak::ui

#endif
