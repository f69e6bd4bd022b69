// Buttons: CButtonBaseX (click modes, repeating, click callback and the
// OnClick event) and CButtonX, which is also the check box and the radio box
// (select states 0..2 with an automatic maximum, 15 state graphics indexed by
// select state x 5 + visual state, graphic area layout, IsDefault on Enter).
#ifndef VARNAK_UI_CONTROLS_BUTTON_H
#define VARNAK_UI_CONTROLS_BUTTON_H

#include "ui/control_container.h"
#include "ui/panel.h"

namespace varnak::ui {

enum ClickMode : int32_t { kClickRelease = 0, kClickPress = 1, kClickHover = 2 };
enum VisualState : int32_t { kStateNormal = 0, kStateMouseOver = 1, kStatePressed = 2, kStateDisabled = 3, kStateFocused = 4 };

using ClickCallback = void (*)(intptr_t user);

// Buttons are control containers: a border, and dragging (the thumb of a
// scroll bar is a dragged button).
using ButtonContainer = CControlContainerX<CPanelX>;

class CButtonBaseX : public ButtonContainer {
 public:
  CButtonBaseX() = default;
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  HRESULT HandleMessage(int* handled, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result,
                        UINT flags) override;
  void OnMessageTimerAlt(UINT_PTR id) override;
  void OnCaptureLost() override;
  HRESULT SetVisible(bool visible) override;
  HRESULT Disable() override;

  virtual void SetClickMode(int32_t mode) { click_mode_ = mode; }
  virtual int32_t GetClickMode() { return click_mode_; }
  virtual void SetClickCallback(ClickCallback callback, intptr_t user) {
    callback_ = callback;
    callback_user_ = user;
  }
  virtual void GetClickCallback(ClickCallback* callback, intptr_t* user) {
    *callback = callback_;
    *user = callback_user_;
  }
  virtual void SetClickHandler(const std::wstring& name) { click_handler_ = name; }
  virtual std::wstring GetClickHandler() { return click_handler_; }
  virtual void Click();
  void SetRepeat(int32_t delay, int32_t interval) {
    repeat_delay_ = delay;
    repeat_interval_ = interval;
  }
  int32_t graphic_alignment() const { return graphic_alignment_; }

 protected:
  ~CButtonBaseX() override;
  bool Repeating() const { return repeat_delay_ != 0 && repeat_interval_ != 0; }
  void StopRepeat();
  int32_t graphic_alignment_ = kAlignCenter;

 private:
  int32_t click_mode_ = kClickRelease;
  std::wstring click_handler_;
  ClickCallback callback_ = nullptr;
  intptr_t callback_user_ = 0;
  int32_t repeat_delay_ = 0;
  int32_t repeat_interval_ = 0;
  bool waiting_ = false;
  bool repeat_running_ = false;
};

class CButtonX : public CButtonBaseX {
 public:
  CButtonX();
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  HRESULT SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) override;
  int CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) override;
  HRESULT HandleMessage(int* handled, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result,
                        UINT flags) override;
  HRESULT RenderContent(IRenderX* renderer, const RECT& rect, const RECT& clip) override;
  void Click() override;

  virtual void SetIsCancel(bool on) { is_cancel_ = on; }
  virtual bool GetIsCancel() { return is_cancel_; }
  virtual void SetIsDefault(bool on) { is_default_ = on; }
  virtual bool GetIsDefault() { return is_default_; }
  // visual 0..4, select 0..2; other indexes give E_INVALIDARG / null
  virtual HRESULT SetStateGraphic(IGraphicX* graphic, int32_t visual, int32_t select);
  virtual IGraphicX* GetStateGraphic(int32_t visual, int32_t select);
  virtual HRESULT SetGraphicSize(int32_t cx, int32_t cy);
  virtual SIZE GetGraphicSize() { return graphic_size_; }
  virtual HRESULT SetSelectState(int32_t state);
  virtual int32_t GetSelectState() { return select_; }
  virtual void SetAutoStateMax(int32_t max);
  virtual int32_t GetAutoStateMax() { return auto_max_; }
  HRESULT SetCheck(int32_t state) { return SetSelectState(state); }
  int32_t GetCheck() { return GetSelectState(); }
  void SetCheckMax(int32_t max) { SetAutoStateMax(max); }
  int32_t GetCheckMax() { return GetAutoStateMax(); }
  virtual HRESULT SetContent(IGraphicX* content);
  virtual IGraphicX* GetContent() { return content_; }
  // With create, a Text element becomes the content when there is none.
  virtual IGraphicX* GetContent(bool create);
  // Text operations forwarded to the content's Text element (created when
  // missing); E_NOINTERFACE when the content is another kind of graphic.
  virtual HRESULT SetText(const std::wstring& text, bool rich);
  virtual std::wstring GetText();
  virtual HRESULT SetTextForeground(IGraphicX* brush);
  virtual HRESULT SetTextColor(uint32_t argb);
  virtual HRESULT SetTextGradient(float sx, float sy, float ex, float ey, uint32_t start, uint32_t end);
  virtual IGraphicX* GetTextForeground();
  virtual int32_t GetVisualState();
  // The graphic and content areas inside rect.
  void ComputeLayout(const RECT& rect, RECT* graphic, RECT* content);
  bool pressed() const { return pressed_; }
  bool hovered() const { return hovered_; }

 protected:
  ~CButtonX() override;

 private:
  bool is_default_ = false;
  bool is_cancel_ = false;
  bool pressed_ = false;
  bool hovered_ = false;
  int32_t auto_max_ = 0;
  int32_t select_ = 0;
  SIZE graphic_size_ = {-1, -1};
  RECT graphic_margin_ = {};
  IGraphicX* content_ = nullptr;
  IGraphicX* states_[15] = {};
};

}  // namespace varnak::ui

#endif
