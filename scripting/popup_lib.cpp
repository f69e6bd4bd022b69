// The popup-block library: top-level window enumeration with a script
// callback, window facts, and hiding, closing or ending pop-up windows.
// Window handles travel to Lua as their 32-bit value read as signed.
#include <windows.h>

#include <cstring>

#include "common/win_handles.h"
#include "scripting/seskel_libs.h"
#include "scripting/seskel_support.h"

namespace seskel {
namespace {

constexpr size_t kNameBuffer = 260;
constexpr size_t kTextBuffer = 2048;

// Reads argument 1 as a window handle when it passes the is-number test.
bool WindowArg(lua_State* L, HWND* window) {
  if (!lua_isnumber(L, 1)) return false;
  *window = ToWindow(ArgWrapped32(L, 1));
  return true;
}

// Handle 0 and stale handles are no window. The platform would otherwise
// post "to the window" 0 as a message to the calling thread and report
// success, or read some other window's text.
bool IsAWindow(HWND window) { return window && IsWindow(window); }

struct EnumContext {
  lua_State* L;
  char callback[kNameBuffer];
};

void PushWindowArgument(lua_State* L, const void* window) {
  lua_pushnumber(L, FromWindow(*static_cast<const HWND*>(window)));
}

BOOL CALLBACK EnumStep(HWND window, LPARAM param) {
  const auto* context = reinterpret_cast<const EnumContext*>(param);
  // one protected step per window: no Lua error unwinds through user32
  CallbackStep step{context->callback, 1, PushWindowArgument, &window};
  return CallScriptCallback(context->L, step) ? TRUE : FALSE;
}

// EnumWindow(callback_name) -> true when every window was visited.
int l_EnumWindow(lua_State* L) {
  EnumContext context;
  context.L = L;
  if (!CopyStringArg(L, 1, context.callback, sizeof context.callback)) {
    DbgPrintA("Lua脚本问题:EnumWindow回调函数名不是字符串!");
    lua_pushboolean(L, 0);
    return 1;
  }
  BOOL complete = EnumWindows(EnumStep, reinterpret_cast<LPARAM>(&context));
  lua_pushboolean(L, complete != FALSE);
  return 1;
}

// GetWindowText(window) -> its text (at most 2,047 bytes), or "".
int l_GetWindowText(lua_State* L) {
  HWND window;
  if (!WindowArg(L, &window)) {
    DbgPrintA("Lua脚本问题:GetWindowText句柄不是整数!");
    lua_pushstring(L, "");
    return 1;
  }
  char text[kTextBuffer] = {};
  if (IsAWindow(window)) GetWindowTextA(window, text, sizeof text);
  lua_pushstring(L, text);
  return 1;
}

// The owning process and thread of a window; both 0 for a non-window.
void WindowOwner(HWND window, DWORD* process, DWORD* thread) {
  *process = 0;
  *thread = GetWindowThreadProcessId(window, process);
  if (*thread == 0) *process = 0;
}

// GetWindowProcessAndThreadID(window) -> process id, thread id.
int l_GetWindowProcessAndThreadID(lua_State* L) {
  HWND window;
  DWORD process = 0, thread = 0;
  if (!WindowArg(L, &window)) {
    DbgPrintA("Lua脚本问题:GetWindowProcessAndThreadID句柄不是整数!");
  } else {
    WindowOwner(window, &process, &thread);
  }
  lua_pushnumber(L, process);
  lua_pushnumber(L, thread);
  return 2;
}

// KillWindowProcess(window) -> true when the owning process was ended.
// Refuses the host's own process, which would end the script mid-run.
int l_KillWindowProcess(lua_State* L) {
  HWND window;
  if (!WindowArg(L, &window)) {
    DbgPrintA("Lua脚本问题:KillWindowProcess句柄不是整数!");
    lua_pushboolean(L, 0);
    return 1;
  }
  DWORD process, thread;
  WindowOwner(window, &process, &thread);
  bool ended = false;
  if (process != 0 && process != GetCurrentProcessId()) {
    varnak::unique_handle handle(OpenProcess(PROCESS_TERMINATE, FALSE, process));
    ended = handle && TerminateProcess(handle.get(), 0);
  }
  lua_pushboolean(L, ended);
  return 1;
}

// KillWindowThread(window) -> true when the owning thread was ended.
// Refuses threads of the host's own process.
int l_KillWindowThread(lua_State* L) {
  HWND window;
  if (!WindowArg(L, &window)) {
    DbgPrintA("Lua脚本问题:KillWindowThread参数不是整数!");
    lua_pushboolean(L, 0);
    return 1;
  }
  DWORD process, thread;
  WindowOwner(window, &process, &thread);
  bool ended = false;
  if (thread != 0 && process != GetCurrentProcessId()) {
    varnak::unique_handle handle(OpenThread(THREAD_TERMINATE, FALSE, thread));
    ended = handle && TerminateThread(handle.get(), 0);
  }
  lua_pushboolean(L, ended);
  return 1;
}

// HideWindow(window) -> true when it was visible; for a hidden window,
// whether the "being hidden" notification could be posted.
int l_HideWindow(lua_State* L) {
  HWND window;
  if (!WindowArg(L, &window)) {
    DbgPrintA("Lua脚本问题:HideWindow句柄不是整数!");
    lua_pushboolean(L, 0);
    return 1;
  }
  bool result = IsAWindow(window) &&
                (ShowWindow(window, SW_HIDE) != 0 || PostMessageA(window, WM_SHOWWINDOW, 0, 0) != 0);
  lua_pushboolean(L, result);
  return 1;
}

// CloseWindow(window) -> true when WM_CLOSE was posted. (The platform's
// CloseWindow would minimise the window instead.)
int l_CloseWindow(lua_State* L) {
  HWND window;
  if (!WindowArg(L, &window)) {
    DbgPrintA("Lua脚本问题:CloseWindow句柄不是整数!");
    lua_pushboolean(L, 0);
    return 1;
  }
  lua_pushboolean(L, IsAWindow(window) && PostMessageA(window, WM_CLOSE, 0, 0) != 0);
  return 1;
}

// GetWindowRect(window) -> left, top, right, bottom; four zeros on failure.
int l_GetWindowRect(lua_State* L) {
  HWND window;
  RECT rect = {0, 0, 0, 0};
  if (!WindowArg(L, &window)) {
    DbgPrintA("Lua脚本问题:GetWindowRect参数不是整数!");
  } else if (!GetWindowRect(window, &rect)) {
    rect = RECT{0, 0, 0, 0};
  }
  lua_pushnumber(L, rect.left);
  lua_pushnumber(L, rect.top);
  lua_pushnumber(L, rect.right);
  lua_pushnumber(L, rect.bottom);
  return 4;
}

// GetSystemHeightAndWidth() -> screen height, then width.
int l_GetSystemHeightAndWidth(lua_State* L) {
  lua_pushnumber(L, GetSystemMetrics(SM_CYSCREEN));
  lua_pushnumber(L, GetSystemMetrics(SM_CXSCREEN));
  return 2;
}

// GetWindowClaseName(window) -> its class name, or "".
int l_GetWindowClaseName(lua_State* L) {
  HWND window;
  if (!WindowArg(L, &window)) {
    DbgPrintA("Lua脚本问题:GetWindowClaseName参数不是整数");
    lua_pushstring(L, "");
    return 1;
  }
  char name[kNameBuffer] = {};
  if (IsAWindow(window)) GetClassNameA(window, name, sizeof name);
  lua_pushstring(L, name);
  return 1;
}

const luaL_Reg kPopupBlockFunctions[] = {
    {"EnumWindow", l_EnumWindow},
    {"GetWindowText", l_GetWindowText},
    {"GetWindowProcessAndThreadID", l_GetWindowProcessAndThreadID},
    {"KillWindowProcess", l_KillWindowProcess},
    {"KillWindowThread", l_KillWindowThread},
    {"HideWindow", l_HideWindow},
    {"CloseWindow", l_CloseWindow},
    {"GetWindowRect", l_GetWindowRect},
    {"GetSystemHeightAndWidth", l_GetSystemHeightAndWidth},
    {"GetWindowClaseName", l_GetWindowClaseName},
    {nullptr, nullptr},
};

}  // namespace

bool InstallPopupBlockLibrary(lua_State* L) { return InstallGlobals(L, kPopupBlockFunctions); }

}  // namespace seskel
