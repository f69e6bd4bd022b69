// Accuracy of the tool's network time against a server that serves this
// machine's clock: runs the tool's own query N times and prints, per query,
// its error against the server's transmit time plus the measured one-way
// delay, and against the local clock at the moment the query returned.
//
// usage: kelvane_accuracy.exe <server address> [count]
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "timetool/ntp_query.h"

namespace {

// Milliseconds since 1970 of the clock, with the finest routine there is.
double NowUnixMs() {
  typedef void(WINAPI * Precise)(FILETIME*);
  static const Precise precise = reinterpret_cast<Precise>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
  FILETIME ft;
  if (precise != nullptr) {
    precise(&ft);
  } else {
    GetSystemTimeAsFileTime(&ft);
  }
  const unsigned long long ticks =
      (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<double>(ticks) / 10000.0 - 11644473600000.0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kelvane_accuracy <server address> [count]\n");
    return 2;
  }
  const int count = argc > 2 ? std::atoi(argv[2]) : 20;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::printf("%4s %10s %10s %12s %14s\n", "run", "delay_ms", "rtt_ms", "err_tx+d_ms",
              "err_clock_ms");
  double sum_tx = 0, sum_clock = 0, max_tx = 0, max_clock = 0;
  int done = 0;
  for (int i = 0; i < count; ++i) {
    LARGE_INTEGER before, after;
    kelvane::NtpQueryResult r;
    QueryPerformanceCounter(&before);
    const bool ok = kelvane::QueryNtpTime(argv[1], &r, 2000);
    QueryPerformanceCounter(&after);
    const double now = NowUnixMs();
    if (!ok) {
      std::printf("%4d query failed\n", i + 1);
      continue;
    }
    const double rtt = static_cast<double>(after.QuadPart - before.QuadPart) * 1000.0 /
                       static_cast<double>(frequency.QuadPart);
    const double transmit =
        static_cast<double>(static_cast<std::uint32_t>(r.transmit.seconds -
                                                       kelvane::kNtpToUnixSeconds)) * 1000.0 +
        static_cast<double>(r.transmit.fraction) * 1000.0 / 4294967296.0;
    const double tool = static_cast<double>(r.network.unix_seconds) * 1000.0 + r.network.milliseconds;
    const double err_tx = tool - (transmit + rtt / 2.0);
    const double err_clock = tool - now;
    std::printf("%4d %10lu %10.3f %12.3f %14.3f\n", i + 1, static_cast<unsigned long>(r.delay_ms),
                rtt, err_tx, err_clock);
    sum_tx += err_tx;
    sum_clock += err_clock;
    max_tx = std::fmax(max_tx, std::fabs(err_tx));
    max_clock = std::fmax(max_clock, std::fabs(err_clock));
    ++done;
    Sleep(50);
  }
  if (done == 0) return 1;
  std::printf("tool: %d queries, error against transmit+delay mean %.3f ms, max |%.3f| ms; "
              "against the clock mean %.3f ms, max |%.3f| ms\n",
              done, sum_tx / done, max_tx, sum_clock / done, max_clock);
  return 0;
}
