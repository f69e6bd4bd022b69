// Small decisions of the engine kept free of the platform so that they can be
// tested directly: the foreground boost's class rule, the memory-clearing
// threshold and the crash report's request target.
#ifndef VARNAK_ENGINE_CORE_ENGINE_RULES_H
#define VARNAK_ENGINE_CORE_ENGINE_RULES_H

#include <cstdint>
#include <string>

namespace varnak::engine {

// Priority class values as the platform defines them.
enum PriorityClass : uint32_t {
  kIdle = 0x40,
  kBelowNormal = 0x4000,
  kNormal = 0x20,
  kAboveNormal = 0x8000,
  kHigh = 0x80,
  kRealtime = 0x100
};

// Rank of a class: idle < below normal < normal < above normal < high <
// realtime; 0 for an unknown value.
int PriorityRank(uint32_t priority_class);

// The class the foreground process is raised to from its saved class:
// idle, below normal, normal (and an unreadable class, 0) go to high; above
// normal, high and realtime go to realtime. Ranked, never by numeric value,
// so a below-normal process never goes to realtime.
uint32_t BoostedClass(uint32_t saved);

// Whether the recorded (boosted) process must be raised again: its class
// fell below the boost (ranked, so a lowered process is noticed) while it
// stayed in front. Returns the class to set, or 0. Keeps the product's
// pairing: a process saved at normal or lower is re-raised to realtime.
uint32_t ReboostClass(uint32_t saved, uint32_t current);

// Automatic memory clearing trims when the memory load is above this percent.
constexpr int kMemoryLoadThreshold = 74;
inline bool ShouldClearMemory(int load_percent) { return load_percent > kMemoryLoadThreshold; }

// The figure a trim freed: before - after, or 0 when the figure grew.
inline uint64_t FreedAmount(uint64_t before, uint64_t after) { return after < before ? before - after : 0; }

// Crash report request target: the fixed part through "EndCode=%08X" stays
// whole; the variable fields are percent-encoded where a request line needs
// it (space, control bytes, '#', '%', bytes of 0x80 and above) and shortened
// until the target fits in `limit` bytes: function name first, then the file
// (to its last path component, then cut), then the module, the line last.
struct CrashReportFields {
  std::string mid, version;
  int major = 0, minor = 0, bitness = 0;
  uint32_t code = 0;
  std::string module, file, line, function;
};
std::string CrashReportTarget(const CrashReportFields& f, size_t limit = 259);

// Percent-encodes the bytes a request line cannot carry (see above).
std::string EscapeRequestBytes(const std::string& text);

}  // namespace varnak::engine

#endif
