// Timer services of a window that bypass the element routing: message
// timers (a hidden "MessageTimer" window owned by the main window) and
// thread timers (one process-wide list served by one worker thread that
// posts ticks as message 0x9000). Also the registry of live invocation
// records, so that a 0x17000 request acts only on records this process made.
#ifndef VARNAK_UI_TIMERS_H
#define VARNAK_UI_TIMERS_H

#include <windows.h>

#include <functional>
#include <map>

namespace varnak::ui {

class CPanelX;
class CWindowX;

// The private message of a thread-timer tick: wParam the element's timer id,
// lParam the element.
constexpr UINT WM_THREAD_TIMER_TICK = 0x9000;

class CMessageTimerX {
 public:
  explicit CMessageTimerX(CWindowX* owner) : owner_(owner) {}
  ~CMessageTimerX();
  CMessageTimerX(const CMessageTimerX&) = delete;
  CMessageTimerX& operator=(const CMessageTimerX&) = delete;
  // Creates the hidden window, owned by owner_window; false on failure.
  bool Create(HWND owner_window);
  HWND hwnd() const { return hwnd_; }
  // The native id (the smallest free one), 0 for a timer that already runs,
  // E_FAIL when the system refuses it. No reference on the element.
  int AddTimer(CPanelX* element, UINT_PTR id, UINT interval, int group);
  int RemoveTimer(CPanelX* element, UINT_PTR id, int group);
  // Kills and removes every entry whose element matches.
  void RemoveWhere(const std::function<bool(CPanelX*)>& match);
  size_t size() const { return timers_.size(); }

 private:
  struct Entry {
    CPanelX* element;
    UINT_PTR id;
    int group;
  };
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void OnTimer(UINT_PTR native);

  CWindowX* owner_;
  HWND hwnd_ = nullptr;
  std::map<UINT_PTR, Entry> timers_;
};

// Destroys a message-timer object (null is fine).
void DestroyMessageTimer(CMessageTimerX* timer);
// Drops the message-timer and thread-timer entries of element (and, with
// subtree, of its descendants) for window.
void ForgetTimersOf(CMessageTimerX* timer, CWindowX* window, CPanelX* element, bool subtree);

namespace thread_timers {
// Adds or updates the entry (owner, element, id); table (copied) gives
// per-tick intervals, a zero entry meaning the default. repeat -1 or 0 runs
// until killed, n > 0 gives n ticks. False when the worker cannot start.
BOOL Set(const void* owner, HWND hwnd, CPanelX* element, UINT id, UINT interval, int repeat, const UINT* table,
         UINT length);
int Kill(const void* owner, CPanelX* element, UINT id);
void KillWhere(const void* owner, const std::function<bool(CPanelX*)>& match);
size_t CountOf(const void* owner);
}  // namespace thread_timers

namespace invoke_records {
void Register(const void* record);
// True when the record was still registered (and now is not).
bool Take(const void* record);
bool Contains(const void* record);
}  // namespace invoke_records

}  // namespace varnak::ui

#endif
