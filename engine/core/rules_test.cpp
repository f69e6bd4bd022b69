// Host tests of the boost class rule, the memory threshold, the crash
// report target and the process watcher's loop.
#include <gtest/gtest.h>

#include <deque>
#include <memory>

#include "engine/core/engine_rules.h"
#include "engine/core/process_watch.h"

namespace varnak::engine {
namespace {

TEST(BoostRule, RankedClasses) {
  const uint32_t cases[][2] = {
      {kIdle, kHigh},          {kBelowNormal, kHigh},       {kNormal, kHigh},  {0, kHigh},
      {kAboveNormal, kRealtime}, {kHigh, kRealtime}, {kRealtime, kRealtime},
  };
  for (const auto& c : cases) EXPECT_EQ(BoostedClass(c[0]), c[1]) << std::hex << c[0];
}

TEST(BoostRule, LoweredBehindTheEnginesBack) {
  // still raised: nothing to do
  EXPECT_EQ(ReboostClass(kNormal, kHigh), 0u);
  EXPECT_EQ(ReboostClass(kHigh, kRealtime), 0u);
  EXPECT_EQ(ReboostClass(kNormal, kAboveNormal), 0u);
  // lowered to normal, below normal or idle is noticed (ranked), with the pairing kept
  EXPECT_EQ(ReboostClass(kNormal, kNormal), uint32_t(kRealtime));
  EXPECT_EQ(ReboostClass(kNormal, kBelowNormal), uint32_t(kRealtime));
  EXPECT_EQ(ReboostClass(kHigh, kIdle), uint32_t(kHigh));
  EXPECT_EQ(ReboostClass(kAboveNormal, 0), uint32_t(kHigh));
}

TEST(MemoryRule, ThresholdAndFreedFigures) {
  EXPECT_FALSE(ShouldClearMemory(74));
  EXPECT_TRUE(ShouldClearMemory(75));
  EXPECT_FALSE(ShouldClearMemory(0));
  EXPECT_EQ(FreedAmount(100, 40), 60u);
  EXPECT_EQ(FreedAmount(40, 100), 0u);
}

CrashReportFields Fields() {
  CrashReportFields f;
  f.mid = "0123456789abcdef0123456789abcdef";
  f.version = "1.2.3.4";
  f.major = 6;
  f.minor = 1;
  f.bitness = 64;
  f.code = 0xC0000005;
  f.module = "Varnak.exe";
  f.file = "N/A";
  f.line = "N/A";
  f.function = "N/A";
  return f;
}

TEST(CrashTarget, FitsWhole) {
  EXPECT_EQ(CrashReportTarget(Fields()),
            "/Crash.php?usermid=0123456789abcdef0123456789abcdef&ver=1.2.3.4&CrashSystem=6.1&CrashOSBit=64"
            "&EndCode=C0000005&EndMoudle=Varnak.exe&CodeFile=N/A&CodeLine=N/A&FunName=N/A");
}

TEST(CrashTarget, EscapesOnlyWhatBreaksARequestLine) {
  CrashReportFields f = Fields();
  f.module = "eip:my app#1%.exe";
  f.function = "a::b<c>(d)";
  std::string t = CrashReportTarget(f);
  EXPECT_NE(t.find("&EndMoudle=eip:my%20app%231%25.exe&"), std::string::npos) << t;
  EXPECT_NE(t.find("&FunName=a::b<c>(d)"), std::string::npos) << t;
  EXPECT_EQ(EscapeRequestBytes("\xB3\xA4\t"), "%B3%A4%09");
}

TEST(CrashTarget, ShortensInOrderAndNeverPastTheLimit) {
  CrashReportFields f = Fields();
  f.function = std::string(300, 'f');
  f.file = "C:\\very\\long\\folder\\" + std::string(100, 'd') + "\\source.cpp";
  f.module = std::string(100, 'm');
  f.line = "12345";
  std::string t = CrashReportTarget(f);
  EXPECT_LE(t.size(), 259u);
  const std::string head = CrashReportTarget(Fields()).substr(0, CrashReportTarget(Fields()).find("&EndMoudle"));
  EXPECT_EQ(t.substr(0, head.size()), head);  // the fixed part stays whole
  EXPECT_NE(t.find("&CodeLine=12345&"), std::string::npos);
  // the function went first: with a short module the file survives
  f.module = "x.exe";
  f.file = "C:\\src\\main.cpp";
  t = CrashReportTarget(f);
  EXPECT_LE(t.size(), 259u);
  EXPECT_NE(t.find("&CodeFile=C:\\src\\main.cpp&"), std::string::npos) << t;
  // GBK text is cut on a character boundary, before escaping
  f.function.clear();
  for (int i = 0; i < 200; ++i) f.function += "\xB3\xA4";
  t = CrashReportTarget(f);
  EXPECT_LE(t.size(), 259u);
  size_t fn = t.find("&FunName=") + 9;
  EXPECT_EQ((t.size() - fn) % 6, 0u) << t.substr(fn);  // whole "%B3%A4" pairs only
}

}  // namespace
}  // namespace varnak::engine

namespace varnak::engine {
namespace {

struct FakeSource {
  std::deque<NextEvent> script;
  int calls = 0;
  NextEvent operator()(ProcessEvent* e) {
    ++calls;
    NextEvent r = script.empty() ? NextEvent::kWaitFailed : script.front();
    if (!script.empty()) script.pop_front();
    if (r == NextEvent::kEvent) {
      e->pid = uint32_t(100 + calls);
      e->parent_pid = 4;
      e->path = calls % 2 ? "" : "C:\\x.exe";
    }
    return r;
  }
};

TEST(ProcessWatch, ReportStopsTheWatchAfterOneEvent) {
  auto source = std::make_shared<FakeSource>();
  source->script = {NextEvent::kEvent, NextEvent::kEvent};
  int reports = 0;
  EXPECT_EQ(RunProcessWatch([source](ProcessEvent* e) { return (*source)(e); },
                            [&](const ProcessEvent& e) {
                              ++reports;
                              EXPECT_EQ(e.pid, 101u);
                              EXPECT_EQ(e.path, "");  // an unknown path is empty, not a failure
                              return 0;
                            },
                            nullptr),
            1);
  EXPECT_EQ(reports, 1);
}

TEST(ProcessWatch, FailedWaitsAreRetriedAFewTimesThenTheWatchBreaksDown) {
  auto source = std::make_shared<FakeSource>();
  source->script = {NextEvent::kWaitFailed, NextEvent::kEvent, NextEvent::kWaitFailed, NextEvent::kWaitFailed};
  int reports = 0, pauses = 0;
  EXPECT_EQ(RunProcessWatch([source](ProcessEvent* e) { return (*source)(e); },
                            [&](const ProcessEvent&) { return ++reports, 1; }, [&](unsigned ms) {
                              EXPECT_EQ(ms, kWatchRetryPauseMs);
                              ++pauses;
                            }),
            0);
  EXPECT_EQ(reports, 1);
  // one failure before the event (reset by it), then 3 retried + the final one
  EXPECT_EQ(pauses, 1 + kWatchWaitRetries);
  EXPECT_EQ(source->calls, 2 + kWatchWaitRetries + 1);
}

TEST(ProcessWatch, UnreadableEventEndsWithZero) {
  auto source = std::make_shared<FakeSource>();
  source->script = {NextEvent::kEvent, NextEvent::kReadFailed, NextEvent::kEvent};
  int reports = 0;
  EXPECT_EQ(RunProcessWatch([source](ProcessEvent* e) { return (*source)(e); },
                            [&](const ProcessEvent&) { return ++reports, 1; }, nullptr),
            0);
  EXPECT_EQ(reports, 1);
}

}  // namespace
}  // namespace varnak::engine
