// CGlobalsX: the process-wide class registry that markup uses to create
// elements by tag, and the drawing factories. Ordinal, case-sensitive names;
// the first registration of a name wins. The registry lives in its own
// function-local static, so registering during static initialisation starts
// nothing else; the drawing factories are created once, on first use by
// the code that draws (render_factories.cpp).
#ifndef VARNAK_UI_GLOBALS_H
#define VARNAK_UI_GLOBALS_H

#include <map>
#include <string>

#include "ui/element.h"

namespace varnak::ui {

using ElementFactory = IElementX* (*)();

class CGlobalsX {
 public:
  static CGlobalsX& Get();
  // Returns the factory when added, null when the name was present.
  ElementFactory RegisterElementClass(const std::wstring& name, ElementFactory factory);
  bool IsClassRegistered(const std::wstring& name);
  // A new element with count 0, or null for an unknown name.
  IElementX* CreateByName(const std::wstring& name);

  // GDI+, started once; false when it cannot start.
  bool StartGdiplus();
  // COM on the calling thread, then the Direct2D factory (single-threaded),
  // the shared DirectWrite factory and the imaging factory, made once.
  // D2D1.DLL and DWRITE.DLL are loaded at run time, never import-linked, so
  // the program starts without them. All three null when any one is missing:
  // the Direct2D back end needs the three.
  IUnknown* Direct2DFactory();  // ID2D1Factory
  IUnknown* DirectWriteFactory();  // IDWriteFactory
  IUnknown* ImagingFactory();  // IWICImagingFactory
  // At exit, after every window and drawable is gone: shuts GDI+ down,
  // releases the factories and ends COM where this registry started it
  // (on that thread only). A later use starts everything again.
  void ShutdownDrawing();

 private:
  CGlobalsX();
  void MakeDirect2DFactories();
  volatile LONG gdiplus_state_ = 0;  // 0 not started, 1 starting, 2 started, 3 failed
  ULONG_PTR gdiplus_token_ = 0;
  volatile LONG direct2d_state_ = 0;  // the same states
  IUnknown* direct2d_ = nullptr;
  IUnknown* direct_write_ = nullptr;
  IUnknown* imaging_ = nullptr;
  DWORD com_thread_ = 0;  // the thread whose COM this registry started; 0 none
  CRITICAL_SECTION lock_;  // not std::mutex: its runtime needs routines XP lacks
  std::map<std::wstring, ElementFactory> classes_;
};

inline IElementX* CreateByName(const std::wstring& name) { return CGlobalsX::Get().CreateByName(name); }

// Registers T under name at static initialisation:
//   static const bool registered = RegisterClassOf<CMyPanel>(L"MyPanel");
template <typename T>
bool RegisterClassOf(const wchar_t* name) {
  return CGlobalsX::Get().RegisterElementClass(name, []() -> IElementX* { return new (std::nothrow) T(); }) !=
         nullptr;
}

}  // namespace varnak::ui

#endif
