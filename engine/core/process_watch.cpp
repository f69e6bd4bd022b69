#include "engine/core/process_watch.h"

namespace varnak::engine {

int RunProcessWatch(const EventSource& next, const EventReport& report, const std::function<void(unsigned)>& pause) {
  int failed_waits = 0;
  for (;;) {
    ProcessEvent event;
    switch (next(&event)) {
      case NextEvent::kWaitFailed:
        // a lasting failure (the service went away) must not spin for ever
        if (++failed_waits > kWatchWaitRetries) return 0;
        if (pause) pause(kWatchRetryPauseMs);
        continue;
      case NextEvent::kReadFailed:
        return 0;
      case NextEvent::kEvent:
        failed_waits = 0;
        if (report(event) == 0) return 1;
        break;
    }
  }
}

}  // namespace varnak::engine
