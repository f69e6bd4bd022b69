// The process watcher's loop, apart from its event source (WMI in the
// engine), so that failures, retries and the report protocol can be tested
// without the platform. Platform-free.
#ifndef VARNAK_ENGINE_CORE_PROCESS_WATCH_H
#define VARNAK_ENGINE_CORE_PROCESS_WATCH_H

#include <cstdint>
#include <functional>
#include <string>

namespace varnak::engine {

struct ProcessEvent {
  uint32_t pid = 0;
  std::string path;  // empty when the system does not know it
  uint32_t parent_pid = 0;
};

enum class NextEvent { kEvent, kWaitFailed, kReadFailed };

// Waits for the next event. kWaitFailed: the wait itself failed (retried a
// few times with a pause, then the watch breaks down); kReadFailed: the
// event's properties could not be read (the watch ends).
using EventSource = std::function<NextEvent(ProcessEvent*)>;
// Non-zero to go on, 0 to stop.
using EventReport = std::function<int(const ProcessEvent&)>;

constexpr int kWatchWaitRetries = 3;
constexpr unsigned kWatchRetryPauseMs = 1000;

// Returns 1 when the report stopped the watch, 0 when it broke down.
int RunProcessWatch(const EventSource& next, const EventReport& report,
                    const std::function<void(unsigned)>& pause);

}  // namespace varnak::engine

#endif
