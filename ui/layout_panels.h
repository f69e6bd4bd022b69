// The panel family beyond the plain panel: StackPanel, DockPanel, WrapPanel,
// GridPanel and GridDefinition. Each gathers what its rule needs of the
// children and lets the platform-free rules in core/layout_rules place them.
#ifndef VARNAK_UI_LAYOUT_PANELS_H
#define VARNAK_UI_LAYOUT_PANELS_H

#include <map>
#include <vector>

#include "ui/core/layout_rules.h"
#include "ui/panel.h"

namespace varnak::ui {

class IBrushX;

// What the rules need of a child of panel.
LayoutItem LayoutItemOf(CPanelX* panel, CPanelX* child);
LRect ToLRect(const RECT& r);
RECT ToRect(const LRect& r);

class COrientationX {
 public:
  explicit COrientationX(int32_t orientation) : orientation_(orientation) {}
  virtual ~COrientationX() = default;
  virtual void SetOrientation(int32_t value) { orientation_ = value; }
  int32_t GetOrientation() const { return orientation_; }

 protected:
  int32_t orientation_;  // 0 vertical, 1 horizontal
};

class CStackPanelX : public CPanelX, public COrientationX {
 public:
  CStackPanelX() : COrientationX(0) {}
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  void SetOrientation(int32_t value) override;
  void SetAlignments(int32_t major, int32_t minor);
  int32_t GetAlignmentMajor() const { return major_; }
  int32_t GetAlignmentMinor() const { return minor_; }
  void GetContentExtent(SIZE* size);
  int32_t GetWidth() override;
  int32_t GetHeight() override;
  void ArrangeChild(RECT* rect, CPanelX* child) override;

 private:
  int32_t major_ = 0;
  int32_t minor_ = 0;
};

class CDockPanelX : public CPanelX {
 public:
  HRESULT SetAttachedProperty(const std::wstring& property, const std::wstring& value, IElementX* child) override;
  void SetMajorDock(CPanelX* child, int32_t value);
  int32_t GetMajorDock(CPanelX* child) const;
  void SetMinorDock(CPanelX* child, int32_t value);
  int32_t GetMinorDock(CPanelX* child) const;
  void SetDock(CPanelX* child, int32_t major, int32_t minor);
  int32_t GetDock(CPanelX* child, int32_t* minor) const;
  void ArrangeChild(RECT* rect, CPanelX* child) override;

 protected:
  void OnChildRemoved(CPanelX* child, bool destroyed) override;

 private:
  std::map<CPanelX*, int32_t> major_;
  std::map<CPanelX*, int32_t> minor_;
};

class CWrapPanelX : public CPanelX, public COrientationX {
 public:
  CWrapPanelX() : COrientationX(1) {}
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  void SetReverse(bool x, bool y);
  bool GetReverseX() const { return reverse_x_; }
  bool GetReverseY() const { return reverse_y_; }
  void ArrangeChild(RECT* rect, CPanelX* child) override;

 private:
  bool reverse_x_ = false;
  bool reverse_y_ = false;
};

class CGridDefinitionX : public CElementX {
 public:
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  void SetSizeText(const std::wstring& text) { definition_ = ParseGridSize(text); }
  const GridDefinition& definition() const { return definition_; }

 private:
  GridDefinition definition_;
};

class CGridPanelX : public CPanelX {
 public:
  ~CGridPanelX() override;
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  HRESULT SetAttachedProperty(const std::wstring& property, const std::wstring& value, IElementX* child) override;
  int CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) override;
  HRESULT SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) override;
  void SetGridPos(CPanelX* child, int32_t column, int32_t row);
  POINT GetGridPos(CPanelX* child) const;
  void SetGridSpan(CPanelX* child, int32_t columns, int32_t rows);
  POINT GetGridSpan(CPanelX* child) const;
  void GetCellRect(RECT* out, CPanelX* child, const RECT& rect);
  void ComputeGridLines(const RECT& rect, std::vector<int64_t>* columns, std::vector<int64_t>* rows);
  void ArrangeChild(RECT* rect, CPanelX* child) override;
  // Grid lines, after the background and before the children.
  HRESULT RenderContent(IRenderX* renderer, const RECT& rect, const RECT& clip) override;
  IUnknown* GetGridLineBrush() const { return line_brush_; }
  double GetGridLineWidth() const { return line_width_; }
  size_t RowCount() const { return rows_.size(); }
  size_t ColumnCount() const { return columns_.size(); }

 protected:
  void OnChildRemoved(CPanelX* child, bool destroyed) override;

 private:
  void SetLineBrush(IUnknown* brush);
  std::vector<CGridDefinitionX*> rows_;
  std::vector<CGridDefinitionX*> columns_;
  IUnknown* line_brush_ = nullptr;  // an IBrushX
  double line_width_ = -1;
  std::map<CPanelX*, GridPlace> places_;
};

}  // namespace varnak::ui

#endif
