// CScrollBarX ("ScrollBar"): a dock container whose only children are its
// parts, the min button, the max button and the thumb ("ButtonMin",
// "ButtonMax", "ButtonSlide"). The thumb is dragged along the track between
// them; its drag offset and the position in the range map onto each other.
// Step clicks on the buttons, page clicks on the track, and the OnScroll
// event with a change callback on every move of the thumb.
#ifndef VARNAK_UI_CONTROLS_SCROLL_BAR_H
#define VARNAK_UI_CONTROLS_SCROLL_BAR_H

#include "ui/control_container.h"
#include "ui/controls/button.h"
#include "ui/layout_panels.h"

namespace varnak::ui {

class CScrollBarX;
using ScrollChangeCallback = void (*)(intptr_t user, CScrollBarX* bar);

class CScrollBarX : public CControlContainerX<CDockPanelX>, public COrientationX {
 public:
  using Container = CControlContainerX<CDockPanelX>;
  CScrollBarX() : COrientationX(0) {}

  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  int CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) override;
  HRESULT SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) override;
  // Only the parts are children.
  HRESULT InsertChild(CPanelX* child, int index) override;
  HRESULT MoveChild(CPanelX* child, int index) override;
  HRESULT RemoveAllChildren() override;
  void ArrangeChild(RECT* rect, CPanelX* child) override;
  HRESULT RenderContent(IRenderX* renderer, const RECT& rect, const RECT& clip) override;
  HRESULT RenderChildren(IRenderX*, const RECT&, const RECT&) override { return S_OK; }
  HRESULT HandleMessage(int* handled, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result,
                        UINT flags) override;
  void OnCreated() override;
  void SetOrientation(int32_t value) override;

  // Parts; S_FALSE when the button is already that part.
  HRESULT SetButtonMin(CButtonX* button, bool repaint);
  CButtonX* GetButtonMin() const { return min_button_; }
  HRESULT SetButtonMax(CButtonX* button, bool repaint);
  CButtonX* GetButtonMax() const { return max_button_; }
  HRESULT SetButtonSlide(CButtonX* button, bool repaint);
  CButtonX* GetButtonSlide() const { return slide_; }
  // The thumb's drag range for a track of size (null: the bar's own size);
  // 1 when the size or the thumb is missing.
  int UpdateThumbRange(const SIZE* size);
  void SetRange(int32_t min, int32_t max);
  void GetRange(int32_t* min, int32_t* max) const {
    *min = min_;
    *max = max_;
  }
  void SetPos(int32_t pos);
  int32_t ComputePosFromThumb();
  int32_t GetPos();
  void SetChangeCallback(ScrollChangeCallback callback, intptr_t user) {
    change_callback_ = callback;
    change_user_ = user;
  }
  void GetChangeCallback(ScrollChangeCallback* callback, intptr_t* user) const {
    *callback = change_callback_;
    *user = change_user_;
  }
  void SetScrollStep(int32_t step) { step_ = step; }
  int32_t GetScrollStep() const { return step_; }
  void SetPageSize(int32_t page) { page_ = page; }
  int32_t GetPageSize() const { return page_; }
  void SetScrollHandler(const std::wstring& name) { scroll_handler_ = name; }
  std::wstring GetScrollHandler() const { return scroll_handler_; }
  bool IsStale() const { return stale_; }
  void RebuildParts();

 protected:
  ~CScrollBarX() override;

 private:
  static void OnThumbDragged(void* user, int notify);
  static void OnStepBack(intptr_t user);
  static void OnStepForward(intptr_t user);
  void ThumbMoved(int notify);
  // The thumb's drag range along the track: start and end offsets.
  void TrackRange(int64_t* start, int64_t* end) const;
  int32_t OffsetForPos(int32_t pos) const;
  // Puts the thumb at the stored position without notifying anyone.
  void PlaceThumb();
  void DockButtons();
  HRESULT SetPart(CButtonX** slot, CButtonX* button, bool repaint);

  CButtonX* min_button_ = nullptr;
  CButtonX* max_button_ = nullptr;
  CButtonX* slide_ = nullptr;
  int32_t min_ = 0, max_ = 0;
  int32_t pos_ = 0;
  bool stale_ = true;     // the position must be recomputed or applied
  bool dragged_ = false;  // stale because the user dragged the thumb
  bool placing_ = false;  // moving the thumb without notification
  int32_t page_ = 0;
  int32_t step_ = 1;
  ScrollChangeCallback change_callback_ = nullptr;
  intptr_t change_user_ = 0;
  std::wstring scroll_handler_;
};

}  // namespace varnak::ui

#endif
