// Privileges, the administrator check, the debugger check and small window
// helpers: message filter, window flash, tooltips and file icons.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "common/win_handles.h"
#include "engine/frame/engine.h"

namespace varnak::engine {
namespace {

const char kFatalTitle[] = "发生严重错误!";

void Box(const char* text, const char* title) { MessageBoxA(nullptr, text, title, MB_OK); }

// Writes a 32-bit top-down image as a bitmap file with the display's colour
// depth (1, 4, 8 or 24 bits), with a colour table for 8 bits or fewer.
bool SaveBitmap(const std::wstring& path, HBITMAP image, int width, int height, int display_bits) {
  int bits = display_bits <= 1 ? 1 : display_bits <= 4 ? 4 : display_bits <= 8 ? 8 : 24;
  const int colours = bits <= 8 ? (1 << bits) : 0;
  // room for a full colour table after the header: GetDIBits writes one for
  // 8 bits or fewer
  std::vector<uint8_t> info_block(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
  auto* info = reinterpret_cast<BITMAPINFO*>(info_block.data());
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = width;
  info->bmiHeader.biHeight = height;  // bottom-up, as bitmap files store rows
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = WORD(bits);
  info->bmiHeader.biCompression = BI_RGB;
  const size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
  std::vector<uint8_t> pixels(stride * size_t(height));
  HDC screen = GetDC(nullptr);
  int rows = GetDIBits(screen, image, 0, UINT(height), pixels.data(), info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != height) return false;
  info->bmiHeader.biSizeImage = DWORD(pixels.size());
  info->bmiHeader.biClrUsed = 0;
  const DWORD table = DWORD(colours * sizeof(RGBQUAD));
  BITMAPFILEHEADER header;
  memset(&header, 0, sizeof header);
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = DWORD(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + table);
  header.bfSize = header.bfOffBits + DWORD(pixels.size());
  unique_file file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD wrote = 0;
  bool ok = WriteFile(file.get(), &header, sizeof header, &wrote, nullptr) &&
            WriteFile(file.get(), &info->bmiHeader, sizeof(BITMAPINFOHEADER), &wrote, nullptr);
  if (ok && table) ok = WriteFile(file.get(), info->bmiColors, table, &wrote, nullptr);
  if (ok) ok = WriteFile(file.get(), pixels.data(), DWORD(pixels.size()), &wrote, nullptr);
  return ok;
}

HBITMAP CreateImage(HDC dc, int width, int height, uint32_t** bits) {
  BITMAPINFO info;
  memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* p = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
  *bits = static_cast<uint32_t*>(p);
  return bitmap;
}

// A memory DC with a bitmap selected; restores and deletes on every path.
struct MemoryCanvas {
  unique_hdc dc;
  HGDIOBJ previous = nullptr;
  ~MemoryCanvas() {
    if (dc && previous) SelectObject(dc.get(), previous);
  }
};

}  // namespace
}  // namespace varnak::engine

using namespace varnak;
using namespace varnak::engine;

ORLIMB_EXPORT int ORLIMB_CALL UpTheValue(int kind) {
  return Guarded(0, [&] {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) {
      LogA("OpenProcessToken_error id:%d", int(GetLastError()));
      Box("获取权限失败,OpenProcessToken!!", kFatalTitle);
      return 0;
    }
    varnak::unique_handle token(raw);
    const char* name = kind == 1 ? "SeDebugPrivilege" : kind == 2 ? "SeShutdownPrivilege" : nullptr;
    if (!name) {
      token.reset();
      Box("没有权限申请", "确认");
      return 1;
    }
    TOKEN_PRIVILEGES privileges;
    memset(&privileges, 0, sizeof privileges);
    if (!LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid)) {
      token.reset();
      LogA("LookupPrivilegeValue_error id:%d", int(GetLastError()));
      Box("获取权限失败,LookupPrivilegeValue!!", kFatalTitle);
      return 0;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    BOOL adjusted = AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr);
    // success with ERROR_NOT_ALL_ASSIGNED means the token lacks the privilege
    DWORD error = GetLastError();
    token.reset();
    if (!adjusted || error == ERROR_NOT_ALL_ASSIGNED) {
      LogA("_error id:%d", int(adjusted ? ERROR_NOT_ALL_ASSIGNED : error));
      Box("获取权限失败!!AdjustTokenPrivileges", kFatalTitle);
      return 0;
    }
    return int(adjusted);
  });
}

ORLIMB_EXPORT int ORLIMB_CALL RunTime_Check(void) {
  return Guarded(1, [&] {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    BOOL member = FALSE;
    if (AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                 &admins)) {
      if (!CheckTokenMembership(nullptr, admins, &member)) member = FALSE;
      FreeSid(admins);
    }
    if (member) return 1;
    int answer = MessageBoxA(nullptr,
                             "亲,我们是进程管理软件.请给我们管理员权限好么!\r\n点击'是'将强制启动.哪怕没有管理员权限",
                             "Varnak:主引擎提示", MB_YESNO);
    if (answer == IDYES) return 1;
    TerminateProcess(GetCurrentProcess(), 0);
    return 0;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL IfDbgAndKill(void) {
  // Only reports; ending a process here would also end every debugging session.
  if (IsDebuggerPresent()) return 1;
  typedef BOOL(WINAPI * CheckRemote_t)(HANDLE, PBOOL);
  auto check = reinterpret_cast<CheckRemote_t>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "CheckRemoteDebuggerPresent")));
  BOOL remote = FALSE;
  return check && check(GetCurrentProcess(), &remote) && remote ? 1 : 0;
}

ORLIMB_EXPORT int ORLIMB_CALL Message_filter_Add(HWND window, unsigned message) {
  return Guarded(1, [&] {
    typedef BOOL(WINAPI * ChangeFilter_t)(HWND, UINT, DWORD, void*);
    HMODULE user32 = LoadLibraryA("user32.dll");
    auto change = user32 ? reinterpret_cast<ChangeFilter_t>(reinterpret_cast<void*>(
                               GetProcAddress(user32, "ChangeWindowMessageFilterEx")))
                         : nullptr;
    if (change) {
      LogA("Message_filter_Add %d", int(message));
      struct {
        DWORD cbSize;
        DWORD ExtStatus;
      } status = {sizeof status, 0};
      change(window, message, 1 /* MSGFLT_ALLOW */, &status);
      LogA("ChangeWindowMessageFilterEx_addr 执行完毕\r\n");
      DragAcceptFiles(window, TRUE);
    }
    if (user32) FreeLibrary(user32);
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL Window_flash(HWND window) {
  return Guarded(1, [&] {
    HDC screen = GetDC(nullptr);
    if (!screen) {
      Sleep(460);
      return 1;
    }
    int old_mode = SetROP2(screen, R2_NOTXORPEN);
    RECT r;
    // a window that is already gone draws nothing, but the timing stays
    bool drawable = window && GetWindowRect(window, &r);
    HPEN pen = CreatePen(PS_SOLID, 5, RGB(125, 0, 125));
    HGDIOBJ old_pen = SelectObject(screen, pen);
    HGDIOBJ old_brush = SelectObject(screen, GetStockObject(NULL_BRUSH));
    if (drawable) {
      if (r.left < 0) r.left = 0;
      if (r.top < 0) r.top = 0;
      Rectangle(screen, r.left, r.top, r.right, r.bottom);
    }
    Sleep(230);
    if (drawable) Rectangle(screen, r.left, r.top, r.right, r.bottom);
    Sleep(230);
    SetROP2(screen, old_mode);
    SelectObject(screen, old_brush);
    SelectObject(screen, old_pen);
    DeleteObject(pen);
    ReleaseDC(nullptr, screen);
    return 1;
  });
}

ORLIMB_EXPORT HWND ORLIMB_CALL CreateTipsControl(HWND parent) {
  return Guarded(static_cast<HWND>(nullptr), [&] {
    INITCOMMONCONTROLSEX init = {sizeof init, 0x3FFF};  // every common-control class
    InitCommonControlsEx(&init);
    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!tip) return static_cast<HWND>(nullptr);
    SetWindowPos(tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageW(tip, TTM_ACTIVATE, TRUE, 0);
    return tip;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL SetWindTips(HWND tooltip, HWND control, const char* text) {
  return Guarded(1, [&] {
    const SystemVersion v = CachedVersion();
    wchar_t wide[MAX_PATH] = {};
    if (text) {
      // at most 259 characters; a cut tooltip text is harmless
      std::wstring w = AnsiToWide(text);
      wcsncpy(wide, w.c_str(), MAX_PATH - 1);
    }
    TTTOOLINFOW info;
    memset(&info, 0, sizeof info);
    // the full record below version 6, the version-2 record from 6 on
    info.cbSize = v.major < 6 ? sizeof(TTTOOLINFOW) : TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_SUBCLASS;
    info.hwnd = control;
    info.uId = UINT_PTR(GetDlgCtrlID(control));
    if (control) GetClientRect(control, &info.rect);
    info.hinst = GetModuleHandleW(nullptr);
    info.lpszText = wide;
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL BitFileIconToWindow(const char* file, HWND window, int mode) {
  return Guarded(0, [&] {
    RECT r;
    if (!window || !IsWindow(window) || !file || !*file || !GetWindowRect(window, &r)) return 0;
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0 || IsIconic(window)) return 0;
    std::wstring path = AnsiToWide(NativeFilePath(file).c_str());
    HICON raw = nullptr;
    UINT id = 0;
    if (PrivateExtractIconsW(path.c_str(), 0, 32, 32, &raw, &id, 1, 0) != 1 || !raw) return 0;
    varnak::unique_hicon icon(raw);

    HDC window_dc = GetWindowDC(window);
    if (!window_dc) return 0;
    struct ReleaseWindowDc {
      HWND w;
      HDC dc;
      ~ReleaseWindowDc() { ReleaseDC(w, dc); }
    } release_window_dc{window, window_dc};

    uint32_t* mask_bits = nullptr;
    uint32_t* image_bits = nullptr;
    varnak::unique_gdiobj mask_bitmap(CreateImage(window_dc, width, height, &mask_bits));
    varnak::unique_gdiobj image_bitmap(CreateImage(window_dc, width, height, &image_bits));
    if (!mask_bitmap || !image_bitmap || !mask_bits || !image_bits) return 0;
    MemoryCanvas mask, image;
    mask.dc.reset(CreateCompatibleDC(window_dc));
    image.dc.reset(CreateCompatibleDC(window_dc));
    if (!mask.dc || !image.dc) return 0;
    mask.previous = SelectObject(mask.dc.get(), mask_bitmap.get());
    image.previous = SelectObject(image.dc.get(), image_bitmap.get());

    // the mask: black where the icon is opaque
    PatBlt(mask.dc.get(), 0, 0, width, height, WHITENESS);
    DrawIconEx(mask.dc.get(), 0, 0, icon.get(), width, height, 0, nullptr, DI_MASK);
    BitBlt(image.dc.get(), 0, 0, width, height, window_dc, 0, 0, SRCCOPY);
    DrawIconEx(image.dc.get(), 0, 0, icon.get(), width, height, 0, nullptr, DI_NORMAL);
    GdiFlush();
    for (size_t i = 0, n = size_t(width) * size_t(height); i < n; ++i) {
      bool opaque = (mask_bits[i] & 0x00FFFFFF) == 0;
      if (opaque && (image_bits[i] >> 24) == 0) image_bits[i] |= 0xFF000000u;
    }

    if (mode == 1) {
      HDC screen = GetDC(nullptr);
      int display_bits = screen ? GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES) : 24;
      if (screen) ReleaseDC(nullptr, screen);
      // the image must not be selected into a DC while GetDIBits reads it
      SelectObject(image.dc.get(), image.previous);
      image.previous = nullptr;
      if (!SaveBitmap(HostFolder() + L"\\tmp.bmp", static_cast<HBITMAP>(image_bitmap.get()), width, height,
                      display_bits))
        return 0;
    } else {
      BitBlt(window_dc, 0, 0, width, height, image.dc.get(), 0, 0, SRCCOPY);
    }
    return 1;
  });
}
