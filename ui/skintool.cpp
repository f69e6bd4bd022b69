// skintool: the skin author's console tool for skin packages and sources.
//   skintool pack <folder> <package> [--password P] [--compress]
//   skintool unpack <package> <folder> [--password P]
//   skintool cat <package> <logical path> [--password P]
//   skintool res <kind> <source> <name> [--password P]
//   skintool render <skin> <output.png> [--size WxH] [--password P]
// Failures print the HRESULT in hex on standard error and exit with 1.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ui/resource_manager.h"
#include "ui/render.h"
#include "ui/storage.h"
#include "ui/window.h"
#include "ui/xml_parser.h"

using namespace varnak::ui;

namespace {

int Fail(HRESULT hr) {
  std::fprintf(stderr, "0x%08lX\n", static_cast<unsigned long>(hr));
  return 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: skintool pack <folder> <package> [--password P] [--compress]\n"
               "       skintool unpack <package> <folder> [--password P]\n"
               "       skintool cat <package> <logical path> [--password P]\n"
               "       skintool res <kind> <source> <name> [--password P]\n"
               "       skintool render <skin> <output.png> [--size WxH] [--password P]\n");
  return 2;
}

std::string ToAnsi(const std::wstring& w) {
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
  return s;
}

void WriteOut(const std::vector<uint8_t>& bytes) {
  _setmode(_fileno(stdout), _O_BINARY);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

int Pack(const std::wstring& folder, const std::wstring& package, const PackageOptions& options) {
  auto storage = CStorage::New();
  HRESULT hr = storage->CreatePackageFile(package, STGM_READWRITE | STGM_SHARE_EXCLUSIVE);
  if (FAILED(hr)) return Fail(hr);
  hr = storage->ImportFolder(folder, options);
  HRESULT closed = storage->Close(SUCCEEDED(hr));
  if (FAILED(hr)) {
    DeleteFileW(package.c_str());  // no half-written package left behind
    return Fail(hr);
  }
  return FAILED(closed) ? Fail(closed) : 0;
}

int Unpack(const std::wstring& package, const std::wstring& folder, const PackageOptions& options) {
  auto storage = CStorage::New();
  HRESULT hr = storage->OpenPackageFile(package, STGM_READ | STGM_SHARE_DENY_WRITE);
  if (FAILED(hr)) return Fail(hr);
  hr = storage->Export(folder, options);
  storage->Close(false);
  return FAILED(hr) ? Fail(hr) : 0;
}

int Cat(const std::wstring& package, const std::wstring& path, const PackageOptions& options) {
  auto storage = CStorage::New();
  HRESULT hr = storage->OpenPackageFile(package, STGM_READ | STGM_SHARE_DENY_WRITE);
  if (FAILED(hr)) return Fail(hr);
  std::vector<uint8_t> bytes;
  {
    CStream stream;
    hr = storage->OpenStream(path, stream, STGM_READ | STGM_SHARE_EXCLUSIVE, options.password);
    if (SUCCEEDED(hr)) hr = stream.ReadAll(&bytes);
  }
  storage->Close(false);
  if (FAILED(hr)) return Fail(hr);
  WriteOut(bytes);
  return 0;
}

int Res(const std::wstring& kind_text, const std::wstring& source, const std::wstring& name,
        const PackageOptions& options) {
  const int kind = _wtoi(kind_text.c_str());
  CResourceManagerX& manager = GetResourceManager();
  HRESULT opened;
  if (kind == SOURCE_PACKAGE_MEMORY || kind == SOURCE_ZIP_MEMORY) {
    CMappedFile file;
    if (!file.Open(source, false)) return Fail(HRESULT_FROM_WIN32(GetLastError()));
    opened = manager.OpenSourceFromMemory(file.data(), static_cast<size_t>(file.size()), kind, options.password);
  } else {
    opened = manager.OpenSource(source, kind, options.password);
  }
  std::printf("OpenSource 0x%08lX\n", static_cast<unsigned long>(opened));
  CStream stream;
  HRESULT hr = manager.OpenStream(name, stream);
  std::printf("OpenStream 0x%08lX\n", static_cast<unsigned long>(hr));
  std::fflush(stdout);
  if (FAILED(hr)) return Fail(hr);
  std::vector<uint8_t> bytes;
  hr = stream.ReadAll(&bytes);
  if (FAILED(hr)) return Fail(hr);
  WriteOut(bytes);
  return 0;
}

// Loads the skin's markup from a folder, zip or package, lays it out at the
// client size and writes what the window shows as a PNG.
int Render(const std::wstring& skin, const std::wstring& png, const std::wstring& size_text,
           const PackageOptions& options) {
  CResourceManagerX& manager = GetResourceManager();
  const DWORD attributes = GetFileAttributesW(skin.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Fail(E_INVALIDARG);
  HRESULT hr;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    hr = manager.OpenSource(skin, SOURCE_FOLDER, "");
  } else {
    hr = manager.OpenSource(skin, SOURCE_PACKAGE_FILE, options.password);
    if (FAILED(hr)) hr = manager.OpenSource(skin, SOURCE_ZIP_FILE, "");
  }
  if (FAILED(hr)) return Fail(hr);
  CWindowX* window = nullptr;
  hr = CXmlParserX().LoadWindow(&window);
  if (FAILED(hr)) return Fail(hr);
  int width = window->width() > 0 ? window->width() : 400;
  int height = window->height() > 0 ? window->height() : 300;
  if (!size_text.empty() && swscanf(size_text.c_str(), L"%dx%d", &width, &height) != 2) {
    window->Release();
    return Usage();
  }
  SetWindowPos(window->hwnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  window->GetContent()->InvalidateLayout(false);
  std::vector<uint32_t> pixels;
  // the back end the window would choose: Direct2D unless the skin forces GDI+
  if (!window->force_gdiplus() && Direct2DAvailable())
    hr = RenderToPixelsDirect2D(window->GetContent(), width, height, &pixels);
  else
    hr = RenderToPixels(window->GetContent(), width, height, &pixels);
  window->Release();
  if (SUCCEEDED(hr)) hr = SavePng(png, pixels, width, height);
  return FAILED(hr) ? Fail(hr) : 0;
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return Fail(E_OUTOFMEMORY);
  std::vector<std::wstring> args;
  PackageOptions options;
  std::wstring size;
  for (int k = 1; k < argc; ++k) {
    const std::wstring a = argv[k];
    if (a == L"--compress") {
      options.compress = true;
    } else if (a == L"--size" && k + 1 < argc) {
      size = argv[++k];
    } else if (a == L"--password" && k + 1 < argc) {
      options.password = ToAnsi(argv[++k]);
    } else {
      args.push_back(a);
    }
  }
  LocalFree(argv);
  if (args.empty()) return Usage();
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::wstring& command = args[0];
  int rc;
  if (command == L"pack" && args.size() == 3) rc = Pack(args[1], args[2], options);
  else if (command == L"unpack" && args.size() == 3) rc = Unpack(args[1], args[2], options);
  else if (command == L"cat" && args.size() == 3) rc = Cat(args[1], args[2], options);
  else if (command == L"res" && args.size() == 4) rc = Res(args[1], args[2], args[3], options);
  else if (command == L"render" && args.size() == 3) rc = Render(args[1], args[2], size, options);
  else rc = Usage();
  return rc;
}
