// The clean-up library: path tests and manipulations, a recursive folder
// walk with a script callback, shortcuts, special folders, file sizes and
// registry reading; deleting and moving files and deleting registry entries
// only when the host asks for them.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/win_handles.h"
#include "scripting/script_rules.h"
#include "scripting/seskel_libs.h"
#include "scripting/seskel_support.h"

namespace seskel {
namespace {

constexpr size_t kPathBuffer = 260;
constexpr size_t kMoveBuffer = 1024;

// "Lua脚本问题:<name>第一个参数不是字符串!", the message of one-path functions
void PathMessage(const char* function) { DbgPrintA("Lua脚本问题:%s第一个参数不是字符串!", function); }

// Copies argument 1 into a path buffer, or shows the path message.
bool PathArg(lua_State* L, const char* function, char* buf) {
  if (CopyStringArg(L, 1, buf, kPathBuffer)) return true;
  PathMessage(function);
  return false;
}

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kCurrentUser: return HKEY_CURRENT_USER;
    case RegistryRoot::kUsers: return HKEY_USERS;
    case RegistryRoot::kLocalMachine: return HKEY_LOCAL_MACHINE;
    case RegistryRoot::kClassesRoot: return HKEY_CLASSES_ROOT;
    case RegistryRoot::kCurrentConfig: return HKEY_CURRENT_CONFIG;
    case RegistryRoot::kNone: break;
  }
  return nullptr;
}

// Reads a value as text into out (260 bytes). A value that leaves no
// terminator within 260 bytes does not fit and reads as "".
void ReadRegistryText(HKEY root, const char* sub_key, const char* value_name, char* out) {
  out[0] = 0;
  varnak::unique_hkey key;
  if (RegOpenKeyExA(root, sub_key, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
  char data[kPathBuffer + 1] = {};
  DWORD size = kPathBuffer;
  if (RegQueryValueExA(key.get(), value_name, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                       &size) != ERROR_SUCCESS) {
    return;
  }
  if (std::memchr(data, 0, kPathBuffer)) std::memcpy(out, data, kPathBuffer);
}

// RegDeleteKey(root, sub_key[, value_name]) -> number 1 if deleted, else 0.
int l_RegDeleteKey(lua_State* L) {
  int count = lua_gettop(L);
  if (count != 2 && count != 3) {
    DbgPrintA("Lua脚本问题:RegDeleteKey遇到意外的参数个数");
    lua_pushnumber(L, 0);
    return 1;
  }
  char root_name[kPathBuffer], sub_key[kPathBuffer], value_name[kPathBuffer] = {};
  if (!CopyStringArg(L, 1, root_name, sizeof root_name) || !CopyStringArg(L, 2, sub_key, sizeof sub_key) ||
      (count == 3 && !CopyStringArg(L, 3, value_name, sizeof value_name))) {
    DbgPrintA("Lua脚本问题:RegDeleteKey遇到意外的参数");
    lua_pushnumber(L, 0);
    return 1;
  }
  HKEY root = RootKey(FindRegistryRoot(root_name));
  if (!root) {
    DbgPrintA("格式化RegDeleteKey第一个参数失败,传入为:%s", root_name);
    lua_pushnumber(L, 0);
    return 1;
  }
  bool deleted = false;
  if (count == 2) {
    deleted = RegDeleteKeyA(root, sub_key) == ERROR_SUCCESS;
  } else {
    varnak::unique_hkey key;
    if (RegOpenKeyExA(root, sub_key, 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS) {
      deleted = RegDeleteValueA(key.get(), value_name) == ERROR_SUCCESS;
    }
  }
  lua_pushnumber(L, deleted ? 1 : 0);
  return 1;
}

// DeleteFile(path) -> true when the path does not exist or was deleted.
int l_DeleteFile(lua_State* L) {
  char path[kPathBuffer];
  if (!PathArg(L, "DeleteFile", path)) {
    lua_pushboolean(L, 0);
    return 1;
  }
  bool ok = GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES || DeleteFileA(path);
  lua_pushboolean(L, ok);
  return 1;
}

// MoveFile(source, destination) -> boolean; never replaces the destination.
int l_MoveFile(lua_State* L) {
  char source[kMoveBuffer], destination[kMoveBuffer];
  if (!CopyStringArg(L, 1, source, sizeof source) ||
      !CopyStringArg(L, 2, destination, sizeof destination)) {
    PathMessage("MoveFile");
    lua_pushboolean(L, 0);
    return 1;
  }
  lua_pushboolean(L, MoveFileA(source, destination) != 0);
  return 1;
}

// PathFileExists(path) -> boolean, or the number 0 after a bad argument.
int l_PathFileExists(lua_State* L) {
  char path[kPathBuffer];
  if (!PathArg(L, "PathFileExists", path)) {
    lua_pushnumber(L, 0);
    return 1;
  }
  lua_pushboolean(L, PathFileExistsA(path) != 0);
  return 1;
}

// DirectoryIsExists(path) -> boolean, or the number 0 after a bad argument.
int l_DirectoryIsExists(lua_State* L) {
  char path[kPathBuffer];
  if (!PathArg(L, "DirectoryIsExists", path)) {
    lua_pushnumber(L, 0);
    return 1;
  }
  lua_pushboolean(L, PathIsDirectoryA(path) != 0);
  return 1;
}

// PathRemoveFileName(path) -> the path without its last component, or "".
int l_PathRemoveFileName(lua_State* L) {
  char path[kPathBuffer];
  if (!PathArg(L, "PathRemoveFileName", path)) {
    lua_pushstring(L, "");
    return 1;
  }
  lua_pushstring(L, PathRemoveFileSpecA(path) ? path : "");
  return 1;
}

// GetPathFileName(path) -> the last component.
int l_GetPathFileName(lua_State* L) {
  char path[kPathBuffer];
  if (!PathArg(L, "GetPathFileName", path)) {
    lua_pushstring(L, "");
    return 1;
  }
  PathStripPathA(path);
  lua_pushstring(L, path);
  return 1;
}

// ExpandEnvironmentStrings(text) -> the expansion, or "" when over 259 bytes.
int l_ExpandEnvironmentStrings(lua_State* L) {
  char text[kPathBuffer];
  if (!PathArg(L, "ExpandEnvironmentStrings", text)) {
    lua_pushstring(L, "");
    return 1;
  }
  char out[kPathBuffer] = {};
  DWORD n = ExpandEnvironmentStringsA(text, out, sizeof out);
  lua_pushstring(L, n == 0 || n > sizeof out ? "" : out);
  return 1;
}

// PathisFile(path) -> true for a bare name without ':' and '\\'.
int l_PathisFile(lua_State* L) {
  char path[kPathBuffer];
  if (!PathArg(L, "PathisFile", path)) {
    lua_pushboolean(L, 0);
    return 1;
  }
  lua_pushboolean(L, PathIsFileSpecA(path) != 0);
  return 1;
}

// GetPathFileExtName(path) -> the extension with its dot, or "".
int l_GetPathFileExtName(lua_State* L) {
  char path[kPathBuffer];
  if (!PathArg(L, "GetPathFileExtName", path)) {
    lua_pushstring(L, "");
    return 1;
  }
  const char* ext = PathFindExtensionA(path);
  std::memmove(path, ext, std::strlen(ext) + 1);
  lua_pushstring(L, path);
  return 1;
}

// ReadKeyString(root, sub_key, value_name) -> the value's bytes as text, or "".
int l_ReadKeyString(lua_State* L) {
  char root_name[kPathBuffer], sub_key[kPathBuffer], value_name[kPathBuffer];
  if (lua_gettop(L) != 3 || !CopyStringArg(L, 1, root_name, sizeof root_name) ||
      !CopyStringArg(L, 2, sub_key, sizeof sub_key) || !CopyStringArg(L, 3, value_name, sizeof value_name)) {
    DbgPrintA("Lua脚本问题:ReadKeyString遇到意外的参数");
    lua_pushstring(L, "");
    return 1;
  }
  HKEY root = RootKey(FindRegistryRoot(root_name));
  if (!root) {
    DbgPrintA("格式化ReadKeyString第一个参数失败,传入为:%s", root_name);
    lua_pushstring(L, "");
    return 1;
  }
  char out[kPathBuffer];
  ReadRegistryText(root, sub_key, value_name, out);
  lua_pushstring(L, out);
  return 1;
}

// --- FindDirectoryFile -------------------------------------------------------

struct Walk {
  lua_State* L;
  const char* callback;
};

void PushPathArgument(lua_State* L, const void* path) { lua_pushstring(L, static_cast<const char*>(path)); }

// Pre-order walk of `folder`: the callback sees every entry whose name does
// not start with '.', and a false result stops the whole walk. Entries whose
// path would exceed 259 bytes are skipped; reparse points (junctions,
// symbolic links) are reported but not entered, so the walk never leaves the
// tree it was given.
bool WalkFolder(const Walk& walk, const char* folder) {
  char pattern[kPathBuffer];
  const char* separator = EndsWithSeparator(folder) ? "" : "\\";
  int n = std::snprintf(pattern, sizeof pattern, "%s%s*", folder, separator);
  if (n < 0 || static_cast<size_t>(n) >= sizeof pattern) return true;
  WIN32_FIND_DATAA entry;
  varnak::unique_find listing(FindFirstFileA(pattern, &entry));
  if (!listing) return true;
  do {
    if (entry.cFileName[0] == '.') continue;
    char path[kPathBuffer];
    n = std::snprintf(path, sizeof path, "%s%s%s", folder, separator, entry.cFileName);
    if (n < 0 || static_cast<size_t>(n) >= sizeof path) continue;
    CallbackStep step{walk.callback, 1, PushPathArgument, path};
    if (!CallScriptCallback(walk.L, step)) return false;
    bool is_folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    bool is_reparse = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (is_folder && !is_reparse && !WalkFolder(walk, path)) return false;
  } while (FindNextFileA(listing.get(), &entry));
  return true;
}

// FindDirectoryFile(folder, callback_name) -> true when the walk ran to its
// end, false when the callback stopped it, "" after a bad argument.
int l_FindDirectoryFile(lua_State* L) {
  char folder[kPathBuffer], callback[kPathBuffer];
  if (!CopyStringArg(L, 1, folder, sizeof folder) || !CopyStringArg(L, 2, callback, sizeof callback)) {
    DbgPrintA("Lua脚本问题:FindDirectoryFile第一个或第二个参数不是字符串!");
    lua_pushstring(L, "");
    return 1;
  }
  // the callbacks run in protected steps, so nothing unwinds past the open
  // listings of the walk
  bool complete = WalkFolder(Walk{L, callback}, folder);
  lua_pushboolean(L, complete);
  return 1;
}

// --- Shortcuts, special folders, sizes ---------------------------------------

// The target of a shortcut file as ANSI text in out (521 bytes), or "".
void ReadShortcutTarget(const char* path, char* out, size_t out_size) {
  out[0] = 0;
  CoInitialize(nullptr);  // left initialised, like the thread's other COM users
  wchar_t wide_path[kPathBuffer];
  if (!MultiByteToWideChar(CP_ACP, 0, path, -1, wide_path, kPathBuffer)) return;
  varnak::ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.put())))) {
    return;
  }
  varnak::ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())))) return;
  if (FAILED(file->Load(wide_path, STGM_READ))) return;
  wchar_t target[MAX_PATH] = {};
  if (FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_UNCPRIORITY))) return;
  if (!WideCharToMultiByte(CP_ACP, 0, target, -1, out, static_cast<int>(out_size), nullptr, nullptr)) {
    out[0] = 0;
  }
}

// GetLnkFilePath(path) -> the shortcut's target, or "".
int l_GetLnkFilePath(lua_State* L) {
  char path[kPathBuffer];
  if (!PathArg(L, "GetLnkFilePath", path)) {
    lua_pushstring(L, "");
    return 1;
  }
  char target[2 * MAX_PATH + 1];  // 260 UTF-16 units are at most 520 GBK bytes
  ReadShortcutTarget(path, target, sizeof target);
  lua_pushstring(L, target);
  return 1;
}

// GetSpecialFolder(name) -> the folder's path from "Shell Folders", or "".
int l_GetSpecialFolder(lua_State* L) {
  char name[kPathBuffer];
  if (!PathArg(L, "GetSpecialFolder", name)) {
    lua_pushstring(L, "");
    return 1;
  }
  char out[kPathBuffer] = {};
  if (const SpecialFolder* folder = FindSpecialFolder(name)) {
    ReadRegistryText(RootKey(folder->root), kShellFoldersKey, folder->value, out);
  }
  lua_pushstring(L, out);
  return 1;
}

// GetFileSize(path) -> size in KiB with fraction, or 0.
int l_GetFileSize(lua_State* L) {
  char path[kPathBuffer];
  if (!PathArg(L, "GetFileSize", path)) {
    lua_pushnumber(L, 0);
    return 1;
  }
  double kib = 0;
  if (PathFileExistsA(path)) {
    WIN32_FIND_DATAA entry;
    varnak::unique_find found(FindFirstFileA(path, &entry));
    if (found) {
      uint64_t bytes = (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
      kib = static_cast<double>(bytes) / 1024.0;
    }
  }
  lua_pushnumber(L, kib);
  return 1;
}

const luaL_Reg kDestructiveFunctions[] = {
    {"RegDeleteKey", l_RegDeleteKey},
    {"DeleteFile", l_DeleteFile},
    {"MoveFile", l_MoveFile},
    {nullptr, nullptr},
};

const luaL_Reg kClearFunctions[] = {
    {"PathFileExists", l_PathFileExists},
    {"DirectoryIsExists", l_DirectoryIsExists},
    {"PathRemoveFileName", l_PathRemoveFileName},
    {"GetPathFileName", l_GetPathFileName},
    {"ExpandEnvironmentStrings", l_ExpandEnvironmentStrings},
    {"PathisFile", l_PathisFile},
    {"GetPathFileExtName", l_GetPathFileExtName},
    {"ReadKeyString", l_ReadKeyString},
    {"FindDirectoryFile", l_FindDirectoryFile},
    {"GetLnkFilePath", l_GetLnkFilePath},
    {"GetSpecialFolder", l_GetSpecialFolder},
    {"GetFileSize", l_GetFileSize},
    {nullptr, nullptr},
};

}  // namespace

bool InstallClearLibrary(lua_State* L, bool destructive) {
  if (destructive && !InstallGlobals(L, kDestructiveFunctions)) return false;
  return InstallGlobals(L, kClearFunctions);
}

}  // namespace seskel
