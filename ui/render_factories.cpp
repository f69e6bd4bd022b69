// The drawing factories of CGlobalsX (see globals.h): GDI+, and the three
// factories of the Direct2D back end, each made once for the process. The
// registry that holds them is never destroyed, so no window can outlive
// its factory; the program shuts them down itself at exit (ShutdownDrawing).
#include "ui/globals.h"

#include <gdiplus.h>

namespace varnak::ui {
namespace {

// Loaded by name so that the import table names neither library.
using D2D1CreateFactoryFn = HRESULT(WINAPI*)(int factory_type, REFIID riid, const void* options, void** factory);
using DWriteCreateFactoryFn = HRESULT(WINAPI*)(int factory_type, REFIID riid, IUnknown** factory);

// ID2D1Factory {06152247-6f50-465a-9245-118bfd3b6007}
const IID kIidDirect2DFactory = {0x06152247, 0x6f50, 0x465a, {0x92, 0x45, 0x11, 0x8b, 0xfd, 0x3b, 0x60, 0x07}};
// IDWriteFactory {b859ee5a-d838-4b5b-a2e8-1adc7d93db48}
const IID kIidDirectWriteFactory = {0xb859ee5a, 0xd838, 0x4b5b, {0xa2, 0xe8, 0x1a, 0xdc, 0x7d, 0x93, 0xdb, 0x48}};
// CLSID_WICImagingFactory {cacaf262-9370-4615-a13b-9f5539da4c0a}
const CLSID kClsidImagingFactory = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
// IWICImagingFactory {ec5ec8a9-c395-4314-9c77-54d7a935ff70}
const IID kIidImagingFactory = {0xec5ec8a9, 0xc395, 0x4314, {0x9c, 0x77, 0x54, 0xd7, 0xa9, 0x35, 0xff, 0x70}};

constexpr int kSingleThreaded = 0;  // D2D1_FACTORY_TYPE_SINGLE_THREADED
constexpr int kShared = 0;          // DWRITE_FACTORY_TYPE_SHARED

template <typename Fn>
Fn Export(const wchar_t* module, const char* name) {
  HMODULE m = LoadLibraryW(module);
  return m ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

// Runs make once across threads; the others wait until it is done.
template <typename Make>
bool Once(volatile LONG* state, Make make) {
  if (InterlockedCompareExchange(state, 1, 0) == 0) InterlockedExchange(state, make() ? 2 : 3);
  while (*state == 1) Sleep(0);
  return *state == 2;
}

}  // namespace

bool CGlobalsX::StartGdiplus() {
  return Once(&gdiplus_state_, [this] {
    Gdiplus::GdiplusStartupInput input;
    return Gdiplus::GdiplusStartup(&gdiplus_token_, &input, nullptr) == Gdiplus::Ok;
  });
}

void CGlobalsX::MakeDirect2DFactories() {
  Once(&direct2d_state_, [this] {
    // the imaging factory is a COM class; an apartment of another kind
    // already on this thread serves as well
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(com) && com != RPC_E_CHANGED_MODE) return false;
    if (SUCCEEDED(com)) com_thread_ = GetCurrentThreadId();  // to be balanced at shutdown
    auto d2d = Export<D2D1CreateFactoryFn>(L"d2d1.dll", "D2D1CreateFactory");
    auto dwrite = Export<DWriteCreateFactoryFn>(L"dwrite.dll", "DWriteCreateFactory");
    void* made = nullptr;
    IUnknown* text = nullptr;
    IUnknown* imaging = nullptr;
    if (!d2d || !dwrite || FAILED(d2d(kSingleThreaded, kIidDirect2DFactory, nullptr, &made)) || !made) return false;
    IUnknown* factory = static_cast<IUnknown*>(made);
    if (FAILED(dwrite(kShared, kIidDirectWriteFactory, &text)) || !text ||
        FAILED(CoCreateInstance(kClsidImagingFactory, nullptr, CLSCTX_INPROC_SERVER, kIidImagingFactory,
                                reinterpret_cast<void**>(&imaging))) ||
        !imaging) {
      factory->Release();
      if (text) text->Release();
      return false;
    }
    direct2d_ = factory;
    direct_write_ = text;
    imaging_ = imaging;
    return true;
  });
}

void CGlobalsX::ShutdownDrawing() {
  if (InterlockedCompareExchange(&direct2d_state_, 1, 2) == 2 ||
      InterlockedCompareExchange(&direct2d_state_, 1, 3) == 3) {
    SafeRelease(&imaging_);
    SafeRelease(&direct_write_);
    SafeRelease(&direct2d_);
    if (com_thread_ && com_thread_ == GetCurrentThreadId()) {
      CoUninitialize();
      com_thread_ = 0;
    }
    InterlockedExchange(&direct2d_state_, 0);
  }
  if (InterlockedCompareExchange(&gdiplus_state_, 1, 2) == 2) {
    Gdiplus::GdiplusShutdown(gdiplus_token_);
    gdiplus_token_ = 0;
    InterlockedExchange(&gdiplus_state_, 0);
  }
}

IUnknown* CGlobalsX::Direct2DFactory() {
  MakeDirect2DFactories();
  return direct2d_;
}

IUnknown* CGlobalsX::DirectWriteFactory() {
  MakeDirect2DFactories();
  return direct_write_;
}

IUnknown* CGlobalsX::ImagingFactory() {
  MakeDirect2DFactories();
  return imaging_;
}

}  // namespace varnak::ui
