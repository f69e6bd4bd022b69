// Message timers, thread timers and the invocation-record registry (see timers.h).
#include "ui/timers.h"

#include <new>
#include <set>
#include <vector>

#include "ui/panel.h"
#include "ui/window.h"

namespace varnak::ui {
namespace {

constexpr wchar_t kMessageTimerClass[] = L"MessageTimer";

bool InSubtree(CPanelX* root, CPanelX* element) {
  for (CPanelX* p = element; p; p = p->GetParent())
    if (p == root) return true;
  return false;
}

// A lock that is never destroyed: worker threads may still use it while the
// process runs its static destructors.
CRITICAL_SECTION* NewLock() {
  auto* lock = new CRITICAL_SECTION;
  InitializeCriticalSection(lock);
  return lock;
}

class Locked {
 public:
  explicit Locked(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
  ~Locked() { LeaveCriticalSection(lock_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  CRITICAL_SECTION* lock_;
};

}  // namespace

// --- message timers ----------------------------------------------------------

CMessageTimerX::~CMessageTimerX() {
  if (hwnd_ && IsWindow(hwnd_)) {
    for (auto& t : timers_) KillTimer(hwnd_, t.first);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  hwnd_ = nullptr;
}

bool CMessageTimerX::Create(HWND owner_window) {
  if (hwnd_) return true;
  if (!owner_window) return false;  // a timer window without owner would outlive the window
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExW(instance, kMessageTimerClass, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = &CMessageTimerX::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kMessageTimerClass;
    if (!RegisterClassExW(&wc)) return false;
  }
  hwnd_ = CreateWindowExW(0, kMessageTimerClass, L"", 0, 0, 0, 0, 0, owner_window, nullptr, instance, nullptr);
  if (!hwnd_) return false;
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return true;
}

LRESULT CALLBACK CMessageTimerX::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<CMessageTimerX*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && message == WM_TIMER) {
    self->OnTimer(wparam);
    return 0;
  }
  if (self && message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->timers_.clear();
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

void CMessageTimerX::OnTimer(UINT_PTR native) {
  auto it = timers_.find(native);
  if (it == timers_.end()) return;  // ids this window does not know are swallowed
  const Entry e = it->second;
  e.element->AddRef();  // the hook may stop the timer and drop the element
  if (e.group == 0) e.element->OnMessageTimer(e.id);
  else e.element->OnMessageTimerAlt(e.id);
  e.element->Release();
}

int CMessageTimerX::AddTimer(CPanelX* element, UINT_PTR id, UINT interval, int group) {
  UINT_PTR chosen = 1;
  for (auto& t : timers_) {
    if (t.second.element == element && t.second.id == id && t.second.group == group) return 0;
    if (t.first == chosen) ++chosen;
  }
  if (!hwnd_ || !SetTimer(hwnd_, chosen, interval, nullptr)) return E_FAIL;
  timers_[chosen] = Entry{element, id, group};
  return static_cast<int>(chosen);
}

int CMessageTimerX::RemoveTimer(CPanelX* element, UINT_PTR id, int group) {
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second.element != element || it->second.id != id || it->second.group != group) continue;
    if (hwnd_ && !KillTimer(hwnd_, it->first)) return 0;
    timers_.erase(it);
    return 1;
  }
  return 0;
}

void CMessageTimerX::RemoveWhere(const std::function<bool(CPanelX*)>& match) {
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (match(it->second.element)) {
      if (hwnd_) KillTimer(hwnd_, it->first);
      it = timers_.erase(it);
    } else {
      ++it;
    }
  }
}

void DestroyMessageTimer(CMessageTimerX* timer) { delete timer; }

void ForgetTimersOf(CMessageTimerX* timer, CWindowX* window, CPanelX* element, bool subtree) {
  auto gone = [&](CPanelX* p) { return p == element || (subtree && InSubtree(element, p)); };
  if (timer) timer->RemoveWhere(gone);
  thread_timers::KillWhere(window, gone);
}

// --- thread timers -------------------------------------------------------------

namespace thread_timers {
namespace {

struct Entry {
  const void* owner;
  HWND hwnd;
  CPanelX* element;
  UINT id;
  UINT interval;
  std::vector<UINT> table;
  UINT index;
  DWORD last;
  int remaining;
};

struct List {
  CRITICAL_SECTION* lock = NewLock();
  std::vector<Entry> entries;
  bool running = false;  // set and cleared under the lock
};

// Never destroyed: the detached worker may outlive static destruction.
List& TheList() {
  static List* list = new List;
  return *list;
}

DWORD WINAPI Worker(void*) {
  List& list = TheList();
  for (;;) {
    {
      Locked hold(list.lock);
      if (list.entries.empty()) {
        list.running = false;  // cleared under the lock: Set starts a new worker
        return 0;
      }
      const DWORD now = GetTickCount();
      for (size_t i = 0; i < list.entries.size();) {
        Entry& e = list.entries[i];
        UINT interval = e.interval;
        if (!e.table.empty()) {
          if (e.index >= e.table.size()) e.index = 0;
          if (e.table[e.index]) interval = e.table[e.index];
        }
        // unsigned difference: correct across the 49.7-day wrap of the counter
        if (static_cast<DWORD>(now - e.last) < interval) {
          ++i;
          continue;
        }
        e.last = now;
        if (!e.table.empty()) ++e.index;
        if (IsWindow(e.hwnd))
          PostMessageW(e.hwnd, WM_THREAD_TIMER_TICK, e.id, reinterpret_cast<LPARAM>(e.element));
        if (e.remaining != -1) {
          if (e.remaining-- == 1) {
            list.entries.erase(list.entries.begin() + static_cast<ptrdiff_t>(i));
            continue;
          }
        }
        ++i;
      }
    }
    Sleep(32);
  }
}

}  // namespace

BOOL Set(const void* owner, HWND hwnd, CPanelX* element, UINT id, UINT interval, int repeat, const UINT* table,
         UINT length) {
  List& list = TheList();
  Locked hold(list.lock);
  const DWORD now = GetTickCount();
  for (Entry& e : list.entries) {
    if (e.owner != owner || e.element != element || e.id != id) continue;
    e.interval = interval;
    e.remaining = repeat;
    e.last = now;
    e.hwnd = hwnd;
    if (table && length > 0) {
      e.table.assign(table, table + length);
      e.index = 0;
    }
    return TRUE;
  }
  Entry e{owner, hwnd, element, id, interval, {}, 0, now, repeat};
  if (table && length > 0) e.table.assign(table, table + length);
  list.entries.push_back(std::move(e));
  if (!list.running) {
    HANDLE thread = CreateThread(nullptr, 0, &Worker, nullptr, 0, nullptr);
    if (!thread) {
      list.entries.clear();
      return FALSE;
    }
    CloseHandle(thread);
    list.running = true;
  }
  return TRUE;
}

int Kill(const void* owner, CPanelX* element, UINT id) {
  List& list = TheList();
  Locked hold(list.lock);
  for (auto it = list.entries.begin(); it != list.entries.end(); ++it) {
    if (it->owner == owner && it->element == element && it->id == id) {
      list.entries.erase(it);
      return 1;
    }
  }
  return 0;
}

void KillWhere(const void* owner, const std::function<bool(CPanelX*)>& match) {
  List& list = TheList();
  Locked hold(list.lock);
  for (auto it = list.entries.begin(); it != list.entries.end();) {
    if (it->owner == owner && (!match || match(it->element))) it = list.entries.erase(it);
    else ++it;
  }
}

size_t CountOf(const void* owner) {
  List& list = TheList();
  Locked hold(list.lock);
  size_t n = 0;
  for (const Entry& e : list.entries) n += e.owner == owner;
  return n;
}

}  // namespace thread_timers

// --- invocation records ----------------------------------------------------------

namespace invoke_records {
namespace {

struct Registry {
  CRITICAL_SECTION* lock = NewLock();
  std::set<const void*> records;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

}  // namespace

void Register(const void* record) {
  Registry& r = TheRegistry();
  Locked hold(r.lock);
  r.records.insert(record);
}

bool Take(const void* record) {
  Registry& r = TheRegistry();
  Locked hold(r.lock);
  return r.records.erase(record) != 0;
}

bool Contains(const void* record) {
  Registry& r = TheRegistry();
  Locked hold(r.lock);
  return r.records.count(record) != 0;
}

}  // namespace invoke_records

}  // namespace varnak::ui
