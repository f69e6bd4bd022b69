// Pictures from icons: an icon drawn into a 32-bit picture, and the icon of
// a program rebuilt from its resources (see graphic.h). The resource data
// of a program named by a skin is not trusted: every length is checked.
#include <shlwapi.h>

#include <gdiplus.h>

#include <algorithm>
#include <cstring>

#include "ui/graphic.h"
#include "ui/render.h"
#include "ui/resource_manager.h"

namespace varnak::ui {
namespace {

using namespace Gdiplus;

constexpr size_t kGroupHeader = 6, kGroupEntry = 14, kFileEntry = 16;
constexpr size_t kMaxImages = 256;
constexpr size_t kMaxIconFile = 16u << 20;
constexpr DWORD kAsImageResource = 0x20;  // LOAD_LIBRARY_AS_IMAGE_RESOURCE (Vista and later)
constexpr int kMaxIconSide = 1024;

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Dword(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
void PutWord(std::vector<uint8_t>* out, uint16_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}
void PutDword(std::vector<uint8_t>* out, uint32_t v) {
  PutWord(out, static_cast<uint16_t>(v));
  PutWord(out, static_cast<uint16_t>(v >> 16));
}

BOOL CALLBACK SmallestGroup(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
  auto* smallest = reinterpret_cast<int*>(param);
  if (IS_INTRESOURCE(name)) {
    const int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name) & 0xFFFF);
    if (*smallest < 0 || id < *smallest) *smallest = id;
  }
  return TRUE;
}

// A resource's bytes; null when it cannot be loaded.
const uint8_t* ResourceBytes(HMODULE module, HRSRC resource, DWORD* size) {
  *size = resource ? SizeofResource(module, resource) : 0;
  HGLOBAL loaded = *size ? LoadResource(module, resource) : nullptr;
  return loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
}

struct Dib {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  uint32_t* bits = nullptr;
  bool Make(int width, int height, uint32_t fill) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* p = nullptr;
    dc = CreateCompatibleDC(nullptr);
    bitmap = dc ? CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &p, nullptr, 0) : nullptr;
    if (!bitmap) return false;
    old = SelectObject(dc, bitmap);
    bits = static_cast<uint32_t*>(p);
    std::fill(bits, bits + static_cast<size_t>(width) * static_cast<size_t>(height), fill);
    return true;
  }
  ~Dib() {
    if (old) SelectObject(dc, old);
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
  }
};

}  // namespace

bool ParseIconGroup(const uint8_t* data, size_t size, std::vector<IconGroupEntry>* entries) {
  entries->clear();
  if (!data || size < kGroupHeader) return false;
  const size_t count = Word(data + 4);
  if (count == 0 || count > kMaxImages || size < kGroupHeader + kGroupEntry * count) return false;
  for (size_t k = 0; k < count; ++k) {
    const uint8_t* e = data + kGroupHeader + kGroupEntry * k;
    entries->push_back(IconGroupEntry{e[0], e[1], e[2], e[3], Word(e + 4), Word(e + 6), Dword(e + 8), Word(e + 12)});
  }
  return true;
}

bool IconFileFromModule(HMODULE module, std::vector<uint8_t>* file) {
  file->clear();
  int smallest = -1;
  EnumResourceNamesW(module, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, &SmallestGroup,
                     reinterpret_cast<LONG_PTR>(&smallest));
  if (smallest < 0) return false;
  DWORD size = 0;
  const uint8_t* group =
      ResourceBytes(module, FindResourceW(module, MAKEINTRESOURCEW(smallest), MAKEINTRESOURCEW(14)), &size);
  std::vector<IconGroupEntry> entries;
  if (!ParseIconGroup(group, size, &entries)) return false;
  struct Image {
    const uint8_t* data;
    DWORD size;
  };
  std::vector<Image> images;
  size_t total = kGroupHeader + kFileEntry * entries.size();
  for (const IconGroupEntry& e : entries) {
    DWORD length = 0;
    const uint8_t* data =
        ResourceBytes(module, FindResourceW(module, MAKEINTRESOURCEW(e.id), MAKEINTRESOURCEW(3) /* RT_ICON */), &length);
    if (!data || length > kMaxIconFile - total) return false;
    total += length;
    images.push_back(Image{data, length});
  }
  file->reserve(total);
  PutWord(file, 0);
  PutWord(file, 1);  // an icon
  PutWord(file, static_cast<uint16_t>(entries.size()));
  uint32_t offset = static_cast<uint32_t>(kGroupHeader + kFileEntry * entries.size());
  for (size_t k = 0; k < entries.size(); ++k) {
    const IconGroupEntry& e = entries[k];
    file->insert(file->end(), {e.width, e.height, e.colors, e.reserved});
    PutWord(file, e.planes);
    PutWord(file, e.bit_count);
    PutDword(file, images[k].size);
    PutDword(file, offset);
    offset += images[k].size;
  }
  for (const Image& image : images) file->insert(file->end(), image.data, image.data + image.size);
  return true;
}

bool CImageX::LoadFromProgram(const std::wstring& path) {
  ClearImage();
  std::wstring full = path;
  if (PathIsRelativeW(path.c_str())) {
    // the skin's own folder, never the process search path
    CResourceManagerX& resources = GetResourceManager();
    if (resources.kind() != SOURCE_FOLDER) return false;
    full = resources.MakeFullPath(path);
    if (full.empty()) return false;
  }
  // opened as data: nothing of it runs
  HMODULE module = LoadLibraryExW(full.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | kAsImageResource);
  if (!module) module = LoadLibraryExW(full.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);  // XP
  if (!module) return false;
  std::vector<uint8_t> file;
  const bool rebuilt = IconFileFromModule(module, &file);
  FreeLibrary(module);
  IStream* stream = nullptr;
  if (!rebuilt || FAILED(StreamFromBytes(file.data(), file.size(), &stream))) return false;
  const bool loaded = LoadFromStream(stream);
  stream->Release();
  return loaded;
}

bool CImageX::LoadFromBitmap(HBITMAP bitmap, HPALETTE palette) {
  ClearImage();
  if (!bitmap || !EnsureGdiplus()) return false;
  GpBitmap* made = nullptr;  // GDI+ copies the pixels: the caller keeps its bitmap
  if (DllExports::GdipCreateBitmapFromHBITMAP(bitmap, palette, &made) != Ok || !made) return false;
  bitmap_ = made;
  return true;
}

// The icon is drawn onto transparent black, so that the colours of an icon
// with alpha come out premultiplied and can be divided back exactly (a
// coloured backdrop would tint its soft edges). An icon without alpha draws
// no alpha at all: its mask says which pixels are opaque.
bool CImageX::LoadFromIcon(HICON icon, int width, int height) {
  ClearImage();
  if (!icon || !EnsureGdiplus()) return false;
  if (width <= 0 || height <= 0) {
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) return false;
    BITMAP bm = {};
    int w = 0, h = 0;
    if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm)) {
      w = bm.bmWidth;
      h = bm.bmHeight;
    } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof bm, &bm)) {
      w = bm.bmWidth;
      h = bm.bmHeight / 2;  // a monochrome icon: the AND and XOR masks stacked
    }
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (width <= 0) width = w;
    if (height <= 0) height = h;
  }
  if (width <= 0 || height <= 0 || width > kMaxIconSide || height > kMaxIconSide) return false;
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  Dib colour;
  if (!colour.Make(width, height, 0) || !DrawIconEx(colour.dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL))
    return false;
  GdiFlush();
  std::vector<uint32_t> argb(colour.bits, colour.bits + n);
  if (std::none_of(argb.begin(), argb.end(), [](uint32_t c) { return (c >> 24) != 0; })) {
    Dib mask;
    if (!mask.Make(width, height, 0x00FFFFFF) ||
        !DrawIconEx(mask.dc, 0, 0, icon, width, height, 0, nullptr, DI_MASK))
      return false;
    GdiFlush();
    for (size_t k = 0; k < n; ++k) argb[k] = (mask.bits[k] & 0xFFFFFF) == 0 ? (argb[k] | 0xFF000000u) : 0;
  } else {
    for (uint32_t& c : argb) {
      const uint32_t a = c >> 24;
      if (a == 0) {
        c = 0;
      } else if (a < 255) {
        auto un = [a](uint32_t v) { return std::min<uint32_t>(255, (v * 255 + a / 2) / a); };
        c = a << 24 | un((c >> 16) & 255) << 16 | un((c >> 8) & 255) << 8 | un(c & 255);
      }
    }
  }
  GpBitmap* bitmap = nullptr;
  if (DllExports::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &bitmap) != Ok)
    return false;
  GpRect all(0, 0, width, height);
  BitmapData data = {};
  if (DllExports::GdipBitmapLockBits(bitmap, &all, ImageLockModeWrite, PixelFormat32bppARGB, &data) != Ok) {
    DllExports::GdipDisposeImage(bitmap);
    return false;
  }
  for (int y = 0; y < height; ++y)
    std::memcpy(static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                argb.data() + static_cast<size_t>(y) * width, static_cast<size_t>(width) * 4);
  DllExports::GdipBitmapUnlockBits(bitmap, &data);
  bitmap_ = bitmap;
  return true;
}

}  // namespace varnak::ui
