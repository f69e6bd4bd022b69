// The process snapshot walker shared by the by-name exports, and the path
// lookup by process id.
#ifndef VARNAK_ENGINE_PROCESS_PROCESS_WALK_H
#define VARNAK_ENGINE_PROCESS_PROCESS_WALK_H

#include <windows.h>
#include <tlhelp32.h>

#include <string>

namespace varnak::engine {

// The wanted executable name as UTF-16 for comparison with snapshot
// entries. False for a null, empty or over-long name (more than 259
// characters): such a name matches nothing.
bool WantedProcessName(const char* name, std::wstring* wide);

// Case-insensitive comparison of an entry's file name with the wanted one.
bool SameProcessName(const wchar_t* entry, const std::wstring& wanted);

// Calls visit(entry) for each entry of a fresh process snapshot until it
// returns false. False when no snapshot could be taken.
template <typename Visit>
bool WalkProcesses(Visit&& visit) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  bool more = Process32FirstW(snap, &entry) != FALSE;
  struct Closer {
    HANDLE h;
    ~Closer() { CloseHandle(h); }
  } closer{snap};
  while (more) {
    if (!visit(entry)) break;
    entry.dwSize = sizeof entry;
    more = Process32NextW(snap, &entry) != FALSE;
  }
  return true;
}

// Full path of a process's executable as ANSI, at most 259 bytes; a path
// that does not fit counts as unreadable.
bool ProcessPathByPid(DWORD pid, std::string* path);

}  // namespace varnak::engine

#endif
