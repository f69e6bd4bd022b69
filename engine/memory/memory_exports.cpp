// Memory and write figures, working-set trimming and the automatic
// memory-clearing thread with its stop event.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <climits>
#include <vector>
#include <string>

#include "common/win_handles.h"
#include "engine/core/engine_rules.h"
#include "engine/frame/engine.h"
#include "engine/process/process_walk.h"

namespace varnak::engine {
namespace {

bool MemoryStatus(MEMORYSTATUSEX* status) {
  status->dwLength = sizeof *status;
  return GlobalMemoryStatusEx(status) != FALSE;
}

bool WorkingSet(HANDLE process, uint64_t* bytes) {
  PROCESS_MEMORY_COUNTERS counters;
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return false;
  *bytes = counters.WorkingSetSize;
  return true;
}

// Trims one process; freed_bytes may be null. False when it cannot be opened.
bool TrimProcess(DWORD pid, int* freed_bytes) {
  unique_handle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_SET_QUOTA, FALSE, pid));
  if (!process) return false;
  uint64_t before = 0, after = 0;
  bool read_before = WorkingSet(process.get(), &before);
  EmptyWorkingSet(process.get());
  bool read_after = WorkingSet(process.get(), &after);
  if (freed_bytes) {
    uint64_t freed = read_before && read_after ? FreedAmount(before, after) : 0;
    *freed_bytes = freed > uint64_t(INT_MAX) ? INT_MAX : int(freed);  // saturated, never wrapped
  }
  return true;
}

int ClearAllMemory(int* freed_kib) {
  MEMORYSTATUSEX before, after;
  bool ok_before = MemoryStatus(&before);
  WalkProcesses([](const PROCESSENTRY32W& e) {
    TrimProcess(e.th32ProcessID, nullptr);
    return true;
  });
  bool ok_after = MemoryStatus(&after);
  if (freed_kib) {
    uint64_t freed = ok_before && ok_after ? FreedAmount(before.ullAvailPhys / 1024, after.ullAvailPhys / 1024) : 0;
    *freed_kib = int(uint32_t(freed));  // the low 32 bits
  }
  return 1;
}

// Stop events of the running automatic threads. Each thread has its own, so
// a stop reaches the threads running at that moment and never a thread that
// starts later (the setting switched off and on again).
CRITICAL_SECTION* StopLock() {
  static CRITICAL_SECTION* lock = [] {
    static CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    return &cs;
  }();
  return lock;
}
std::vector<HANDLE>& StopEvents() {
  static std::vector<HANDLE> events;
  return events;
}

struct StopRegistration {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  StopRegistration() {
    if (!event) return;
    EnterCriticalSection(StopLock());
    try {
      StopEvents().push_back(event);
    } catch (...) {
    }
    LeaveCriticalSection(StopLock());
  }
  ~StopRegistration() {
    if (!event) return;
    EnterCriticalSection(StopLock());
    auto& events = StopEvents();
    events.erase(std::remove(events.begin(), events.end(), event), events.end());
    LeaveCriticalSection(StopLock());
    CloseHandle(event);
  }
};

// The first process of a name; the by-name figures act on it only.
template <typename Act>
int FirstByName(const char* name, const wchar_t* mismatch, const wchar_t* match, Act&& act) {
  if (!name || !*name) return 0;
  std::wstring wanted;
  if (!WantedProcessName(name, &wanted)) return 0;
  int result = 0;
  WalkProcesses([&](const PROCESSENTRY32W& e) {
    if (!SameProcessName(e.szExeFile, wanted)) {
      LogW(mismatch, e.szExeFile, wanted.c_str());
      return true;
    }
    LogW(match, e.szExeFile, int(e.th32ProcessID));
    result = act(e.th32ProcessID);
    return false;
  });
  return result;
}

int MemorySize(unsigned pid, unsigned* bytes) {
  if (!bytes) return 0;
  unique_handle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  uint64_t size = 0;
  if (!process || !WorkingSet(process.get(), &size)) return 0;
  *bytes = size > 0xFFFFFFFFull ? 0xFFFFFFFFu : unsigned(size);
  return 1;
}

int WrittenBytes(unsigned pid, unsigned long long* bytes) {
  if (!bytes) return 0;
  unique_handle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
  IO_COUNTERS io;
  if (!process || !GetProcessIoCounters(process.get(), &io)) return 0;
  *bytes = io.WriteTransferCount;
  return 1;
}

}  // namespace
}  // namespace varnak::engine

using namespace varnak;
using namespace varnak::engine;

ORLIMB_EXPORT int ORLIMB_CALL GetSystemMemoryInfo(unsigned long long* available_kib, int* load_percent) {
  return Guarded(0, [&] {
    if (!available_kib || !load_percent) return 0;
    MEMORYSTATUSEX status;
    if (!MemoryStatus(&status)) return 0;
    *available_kib = status.ullAvailPhys / 1024;
    *load_percent = int(status.dwMemoryLoad);
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL CrearProcessMemory(unsigned pid, int* freed_bytes) {
  return Guarded(0, [&] { return TrimProcess(pid, freed_bytes) ? 1 : 0; });
}

ORLIMB_EXPORT int ORLIMB_CALL MemoryClear(int* freed_kib) {
  return Guarded(1, [&] { return ClearAllMemory(freed_kib); });
}

ORLIMB_EXPORT DWORD ORLIMB_CALL AutoMemoryClear(void*) {
  // Runs until StopAutoMemoryClear (or until the thread is terminated, which
  // callers may still do). The first check happens at once.
  StopRegistration registration;
  const HANDLE stop = registration.event;
  for (;;) {
    Guarded(0, [] {
      MEMORYSTATUSEX status;
      if (MemoryStatus(&status) && ShouldClearMemory(int(status.dwMemoryLoad))) ClearAllMemory(nullptr);
      return 0;
    });
    if (!stop) {
      Sleep(3600);
    } else if (WaitForSingleObject(stop, 3600) == WAIT_OBJECT_0) {
      return 0;
    }
  }
}

// Ends the running automatic clearing threads after their current pass.
// Returns the number of threads told to stop.
ORLIMB_EXPORT int ORLIMB_CALL StopAutoMemoryClear(void) {
  EnterCriticalSection(StopLock());
  int told = 0;
  for (HANDLE event : StopEvents()) told += SetEvent(event) ? 1 : 0;
  LeaveCriticalSection(StopLock());
  return told;
}

ORLIMB_EXPORT int ORLIMB_CALL GetProcessMemorySize(unsigned pid, unsigned* bytes) {
  return Guarded(0, [&] { return MemorySize(pid, bytes); });
}

ORLIMB_EXPORT int ORLIMB_CALL GetProcessMemorySizeByName(const char* name, unsigned* bytes) {
  return Guarded(0, [&] {
    if (!bytes) return 0;
    return FirstByName(name, L"[GetProcessMemorySizeByName]进程:%ls 不是要找的:%ls",
                       L"GetProcessMemorySizeByName, 进程:%ls 找到 PID:%d!",
                       [&](DWORD pid) { return MemorySize(pid, bytes); });
  });
}

ORLIMB_EXPORT int ORLIMB_CALL GetIoSize(unsigned pid, unsigned long long* bytes) {
  return Guarded(0, [&] { return WrittenBytes(pid, bytes); });
}

ORLIMB_EXPORT int ORLIMB_CALL GetIoSizeByProcessName(const char* name, unsigned long long* bytes) {
  return Guarded(0, [&] {
    if (!bytes) return 0;
    return FirstByName(name, L"[GetIoSizeByProcessName]进程:%ls 不是要找的:%ls",
                       L"GetIoSizeByProcessName, 进程:%ls 找到 PID:%d!",
                       [&](DWORD pid) { return WrittenBytes(pid, bytes); });
  });
}
