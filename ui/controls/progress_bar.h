// CRangeBaseX, the range of a ranged control (small and large change,
// minimum, maximum, value), and CProgressBarX ("ProgressBar"): a fill over
// the part of the bar the value reaches, from either end, horizontal or
// vertical, and a value text that can follow the value.
#ifndef VARNAK_UI_CONTROLS_PROGRESS_BAR_H
#define VARNAK_UI_CONTROLS_PROGRESS_BAR_H

#include "ui/control_container.h"
#include "ui/graphic.h"
#include "ui/layout_panels.h"

namespace varnak::ui {

class CRangeBaseX : public CControlContainerX<CPanelX> {
 public:
  using Container = CControlContainerX<CPanelX>;
  // Limited to the range; repaints.
  virtual void SetValue(double x);
  virtual double GetValue() { return value_; }
  // S_FALSE and no change when min > max; otherwise the value is limited
  // to the new range.
  virtual HRESULT SetRange(double min, double max);
  virtual void GetRange(double* min, double* max) {
    *min = min_;
    *max = max_;
  }
  virtual void SetChanges(double small_change, double large_change) {
    small_ = small_change;
    large_ = large_change;
  }
  virtual void GetChanges(double* small_change, double* large_change) {
    *small_change = small_;
    *large_change = large_;
  }

 protected:
  double small_ = 0, large_ = 0, min_ = 0, max_ = 0, value_ = 0;
};

class CProgressBarX : public CRangeBaseX, public COrientationX {
 public:
  CProgressBarX();
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  int CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) override;
  HRESULT SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) override;
  HRESULT RenderOverlay(IRenderX* renderer, const RECT& rect, const RECT& clip) override;
  void SetOrientation(int32_t value) override;

  void SetReverse(bool on);
  bool GetReverse() const { return reverse_; }
  void SetDecimalDigits(int32_t n);
  int32_t GetDecimalDigits() const { return digits_; }
  void SetAutoValueText(bool on) { auto_text_ = on; }
  bool GetAutoValueText() const { return auto_text_; }
  HRESULT SetValueText(CTextX* text);
  // With create, a new Text element becomes the value text when there is none.
  CTextX* GetValueText(bool create);
  HRESULT SetFill(IGraphicX* fill);
  IGraphicX* GetFill() const { return fill_; }
  // The part of rect the value fills; empty when the range is empty.
  RECT ComputeFillRect(const RECT& rect);
  // The value as the value text shows it ("%.*lf" with the decimal digits).
  std::wstring FormatValue() const;

 protected:
  ~CProgressBarX() override;

 private:
  CTextX* value_text_ = nullptr;
  IGraphicX* fill_ = nullptr;
  bool reverse_ = false;
  bool auto_text_ = true;
  int32_t digits_ = 0;
};

}  // namespace varnak::ui

#endif
