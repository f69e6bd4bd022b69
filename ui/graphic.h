// Elements that are property values rather than tree nodes: the drawable
// base CGraphicX with the brush base and the solid brush, the transform
// element CMatrixX, and the mouse event listener CEventListenerX.
#ifndef VARNAK_UI_GRAPHIC_H
#define VARNAK_UI_GRAPHIC_H

#include "ui/element.h"
#include "ui/panel.h"

#include <vector>

namespace varnak::ui {

class IRenderX;

class IGraphicX : public IUnknown {
 public:
  // Draws into rect; S_FALSE when there is nothing to draw.
  virtual HRESULT Draw(IRenderX* renderer, const RECT& rect, UINT flags) = 0;
};
class IBrushX : public IGraphicX {};
class ISolidBrushX : public IUnknown {
 public:
  virtual void SetColor(uint32_t argb) = 0;
  virtual uint32_t GetColor() = 0;
};
// A 2-D affine transform: points are rows, p' = p * M, as in GDI+. The
// order of the operations: prepend (0) applies the new operation before
// the transform, append (1) after it.
enum MatrixOrder : int { kMatrixPrepend = 0, kMatrixAppend = 1 };
class IMatrixX : public IUnknown {
 public:
  virtual void Translate(float dx, float dy, int order) = 0;
  virtual void Scale(float sx, float sy, int order) = 0;
  virtual void Rotate(float degrees, int order) = 0;
  virtual void RotateAt(float degrees, float cx, float cy, int order) = 0;
  virtual void Multiply(const MatrixValues& other, int order) = 0;
  virtual bool IsIdentity() = 0;
  virtual void SetElements(float m11, float m12, float m21, float m22, float dx, float dy) = 0;
  virtual MatrixValues GetElements() = 0;
};

// a * b: a's operation first, then b's
MatrixValues MultiplyMatrices(const MatrixValues& a, const MatrixValues& b);

#define VARNAK_UI_FORWARD_IUNKNOWN()                                                          \
  STDMETHODIMP_(ULONG) AddRef() override { return CElementX::AddRef(); }                      \
  STDMETHODIMP_(ULONG) Release() override { return CElementX::Release(); }

// Reads the transform attributes (OffsetX/Y, else ScaleX/Y, else Rotation
// about CenterX/Y): exactly one operation.
void LoadTransform(const CXmlAttributesX& attributes, MatrixValues* values);

class CGraphicX : public CElementX, public IGraphicX {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  VARNAK_UI_FORWARD_IUNKNOWN()
  HRESULT Draw(IRenderX*, const RECT&, UINT) override { return S_FALSE; }
  // Margin and the own transform; then Name and ID.
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  int CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) override;
  HRESULT SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) override;
  const MatrixValues& transform() const { return transform_; }
  const Numbers& margin() const { return margin_; }
  // rect shrunk by the margin; false when nothing is left to draw into
  bool DrawingRect(const RECT& rect, RECT* out) const;

 protected:
  Numbers margin_;
  MatrixValues transform_;
};

class CBrushX : public CGraphicX {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  double round_radius() const { return round_radius_; }

 private:
  double round_radius_ = -1;

 public:
  // Fills the rectangle; an empty one draws nothing.
  HRESULT Draw(IRenderX* renderer, const RECT& rect, UINT flags) override;
};

class CSolidBrushX : public CBrushX, public ISolidBrushX {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  VARNAK_UI_FORWARD_IUNKNOWN()
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  void* GetPropertyAddress(const std::wstring& property) override;
  void SetColor(uint32_t argb) override { color_ = argb; }
  uint32_t GetColor() override { return color_; }

 private:
  uint32_t color_ = 0xFE000000u;
};

class IImageX : public IUnknown {};

// A picture drawn into its owner's rectangle: stretch, alignment, opacity,
// source clip and nine-grid split. The GDI+ bitmap is held as an opaque
// pointer so that this header needs no GDI+ declarations.
class CImageX : public CGraphicX, public CAlignmentXY, public IImageX {
 public:
  ~CImageX() override;
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  VARNAK_UI_FORWARD_IUNKNOWN()
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  HRESULT Draw(IRenderX* renderer, const RECT& rect, UINT flags) override;
  // Opens the path through the resource manager; false leaves the image
  // empty. A path ending in ".exe" names a program whose icon is shown (the
  // icon group with the smallest numeric identifier); a relative one is
  // taken from the skin folder.
  bool LoadFromPath(const std::wstring& path);
  bool LoadFromStream(IStream* stream);
  // Draws the icon at width x height (its own size where 0) into a 32-bit
  // picture; icons without alpha get it from their mask.
  bool LoadFromIcon(HICON icon, int width, int height);
  // A copy of a GDI bitmap (with its palette where it has one).
  bool LoadFromBitmap(HBITMAP bitmap, HPALETTE palette);
  void ClearImage();
  int GetImageWidth() const;
  int GetImageHeight() const;
  void* native() const { return bitmap_; }
  int32_t stretch() const { return stretch_; }
  int32_t quality() const { return quality_; }
  float opacity() const { return opacity_; }
  const Numbers& clip() const { return clip_; }
  const Numbers& split() const { return split_; }

 private:
  bool LoadFromProgram(const std::wstring& path);
  void* bitmap_ = nullptr;  // GpBitmap
  IStream* stream_ = nullptr;
  int32_t stretch_ = 0;
  int32_t quality_ = 0;
  float opacity_ = 0;  // 0: not set, opaque
  Numbers clip_;
  Numbers split_;
};

// One image of an icon group resource.
struct IconGroupEntry {
  uint8_t width, height, colors, reserved;
  uint16_t planes, bit_count;
  uint32_t bytes;
  uint16_t id;  // of its icon resource
};
// Reads an icon group resource; false when it is shorter than its count
// says, names no image or more than 256 of them.
bool ParseIconGroup(const uint8_t* data, size_t size, std::vector<IconGroupEntry>* entries);
// Rebuilds an icon file in memory from the icon group with the smallest
// numeric identifier of a module loaded as data. Each image's length comes
// from its own icon resource, not from the group; false when there is no
// such group or anything is missing or too large.
bool IconFileFromModule(HMODULE module, std::vector<uint8_t>* file);

class IImageBrushX : public IUnknown {};

// A brush that tiles a picture: the tile is the picture's size (mode 0), the
// fill rectangle's size (1) or the user size (2); wrap 0 tile, 1 flip x,
// 2 flip y, 3 flip both, 4 clamp.
class CImageBrushX : public CBrushX, public IImageBrushX {
 public:
  CImageBrushX();
  ~CImageBrushX() override;
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  VARNAK_UI_FORWARD_IUNKNOWN()
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  CImageX* image() const { return image_; }
  int32_t size_mode() const { return size_mode_; }
  const Numbers& user_size() const { return user_size_; }
  int32_t wrap_mode() const { return wrap_mode_; }

 private:
  CImageX* image_;
  int32_t size_mode_ = 0;
  Numbers user_size_;
  int32_t wrap_mode_ = 0;
};

class ITextX : public IUnknown {};

// Font description; defaults are those of the system's default GUI font.
struct FontSpec {
  std::wstring family;
  float size = 0;
  int32_t weight = 400;
  int32_t stretch = 5;
  int32_t style = 0;  // 0 normal, 2 italic
  bool underline = false;
  bool strikeout = false;
  static FontSpec SystemDefault();
};

// A string drawn into its owner's rectangle with a font, a foreground brush,
// string-format flags, a rendering hint and an alignment.
class CTextX : public CGraphicX, public CAlignmentXY, public ITextX {
 public:
  CTextX();
  ~CTextX() override;
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  VARNAK_UI_FORWARD_IUNKNOWN()
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  int CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) override;
  HRESULT SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) override;
  HRESULT Draw(IRenderX* renderer, const RECT& rect, UINT flags) override;
  void SetText(const std::wstring& text) { text_ = text; }
  const std::wstring& text() const { return text_; }
  const FontSpec& font() const { return font_; }
  uint32_t format_flags() const { return format_flags_; }
  int32_t quality() const { return quality_; }
  IGraphicX* foreground() const { return foreground_; }
  bool rich() const { return rich_; }
  void SetForegroundColor(uint32_t argb);
  void SetTextState(const std::wstring& text, bool rich, uint32_t flags) { text_ = text; rich_ = rich; format_flags_ = flags; }

 private:
  std::wstring text_;
  IGraphicX* foreground_ = nullptr;
  bool rich_ = false;
  uint32_t format_flags_ = 0;
  int32_t quality_ = 0;
  FontSpec font_;
};

class IGradientStopX : public IUnknown {};
class ILinearGradientBrushX : public IUnknown {};

class CGradientStopX : public CElementX, public IGradientStopX {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  VARNAK_UI_FORWARD_IUNKNOWN()
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  uint32_t color() const { return color_; }
  double offset() const { return offset_; }

 private:
  uint32_t color_ = 0;
  double offset_ = 0;
};

class CLinearGradientBrushX : public CBrushX, public ILinearGradientBrushX {
 public:
  ~CLinearGradientBrushX() override;
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  VARNAK_UI_FORWARD_IUNKNOWN()
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  int CreatePropertyElement(const std::wstring& property, const std::wstring& tag, IElementX** value) override;
  HRESULT SetPropertyElement(const std::wstring& property, const std::wstring& tag, IElementX* value) override;
  void SetLine(float sx, float sy, float ex, float ey, uint32_t start, uint32_t end);
  void GetLine(float* sx, float* sy, float* ex, float* ey) const {
    *sx = sx_;
    *sy = sy_;
    *ex = ex_;
    *ey = ey_;
  }
  void SetExtendMode(int32_t mode) { extend_mode_ = mode >= 0 && mode <= 2 ? mode : 0; }
  void SetGamma(int32_t gamma) { gamma_ = gamma == 1 ? 1 : 0; }
  // The GDI+ line for a fill rectangle; false when its two points coincide,
  // which GDI+ refuses: such a brush draws nothing instead of failing.
  bool LinePoints(const RECT& rect, POINT* from, POINT* to) const;
  uint32_t start_color() const { return start_color_; }
  uint32_t end_color() const { return end_color_; }
  int32_t extend_mode() const { return extend_mode_; }
  int32_t gamma() const { return gamma_; }
  size_t StopCount() const { return stops_.size(); }
  const CGradientStopX* Stop(size_t k) const { return stops_[k]; }

 private:
  float sx_ = 0, sy_ = 0, ex_ = 0, ey_ = 0;
  uint32_t start_color_ = 0xFFFFFFFFu, end_color_ = 0xFFFFFFFFu;
  int32_t extend_mode_ = 0, gamma_ = 0;
  std::vector<CGradientStopX*> stops_;
};

class CMatrixX : public CElementX, public IMatrixX {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  VARNAK_UI_FORWARD_IUNKNOWN()
  HRESULT LoadAttributes(const CXmlAttributesX& attributes) override;
  const MatrixValues& values() const { return values_; }
  void Translate(float dx, float dy, int order) override;
  void Scale(float sx, float sy, int order) override;
  void Rotate(float degrees, int order) override;
  void RotateAt(float degrees, float cx, float cy, int order) override;
  void Multiply(const MatrixValues& other, int order) override;
  bool IsIdentity() override;
  void SetElements(float m11, float m12, float m21, float m22, float dx, float dy) override;
  MatrixValues GetElements() override { return values_; }

 private:
  MatrixValues values_;
};

// Forwards a panel's mouse events; it accepts one target panel.
class CEventListenerX : public CElementX {
 public:
  virtual bool AcceptTarget(CPanelX* target);
  virtual void Notify(CPanelX* sender, MouseEvent event);
  int notifications() const { return notifications_; }

 private:
  CPanelX* target_ = nullptr;  // the panel holds the listener, not the reverse
  int notifications_ = 0;
};

}  // namespace varnak::ui

#endif
