// The NTP exchange against real loopback peers: chronyd serving the host
// clock, and fake servers that send what a client must not believe.
#include "timetool/ntp_query.h"

#include <gtest/gtest.h>

#include <fstream>

#include "timetool/tests/peers.h"

namespace kelvane {
namespace {

class NtpQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    peers_ = test::LoadPeers();
    if (peers_.empty()) GTEST_SKIP() << "KELVANE_PEERS not set: the NTP peers are not running";
  }
  const char* Peer(const std::string& name) { return peers_[name].c_str(); }

  // Milliseconds since 1970 of the host clock.
  static long long NowUnixMs() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    const unsigned long long ticks = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) |
                                     ft.dwLowDateTime;
    return static_cast<long long>(ticks / 10000ULL) - 11644473600000LL;
  }
  static long long UnixMs(const NtpQueryResult& r) {
    return r.network.unix_seconds * 1000 + r.network.milliseconds;
  }

  std::map<std::string, std::string> peers_;
};

TEST_F(NtpQuery, ChronyAnswersTheSymmetricActiveRequest) {
  NtpQueryResult r;
  ASSERT_TRUE(QueryNtpTime(Peer("chrony"), &r));
  // chronyd serves this machine's clock
  EXPECT_NEAR(static_cast<double>(UnixMs(r)), static_cast<double>(NowUnixMs()), 250.0);
  EXPECT_LT(r.delay_ms, 250u);
  // the record is local time: compare with the platform's own local clock
  SYSTEMTIME now;
  GetLocalTime(&now);
  EXPECT_EQ(r.local.year, now.wYear);
  EXPECT_EQ(r.local.month, now.wMonth);
  EXPECT_EQ(r.local.day, now.wDay);
  EXPECT_EQ(r.local.day_of_week, 0);
  EXPECT_NEAR(r.local.hour * 3600 + r.local.minute * 60 + r.local.second,
              now.wHour * 3600 + now.wMinute * 60 + now.wSecond, 1);
}

TEST_F(NtpQuery, RepliesNoClockMayBeSetFromFail) {
  for (const char* name : {"kod", "unsync", "short", "client"}) {
    NtpQueryResult r;
    r.network.unix_seconds = 42;
    const DWORD start = GetTickCount();
    EXPECT_FALSE(QueryNtpTime(Peer(name), &r, 3000)) << name;
    EXPECT_EQ(r.network.unix_seconds, 42) << name << ": result written on failure";
    EXPECT_LT(GetTickCount() - start, 2500u) << name << ": the failure was not immediate";
  }
}

TEST_F(NtpQuery, OnlyTheServersOwnAddressAndPortAreHeard) {
  // a year-ahead datagram from port 124 and from another address arrive
  // first; the connected socket never delivers them
  NtpQueryResult r;
  ASSERT_TRUE(QueryNtpTime(Peer("spoof"), &r));
  EXPECT_NEAR(static_cast<double>(UnixMs(r)), static_cast<double>(NowUnixMs()), 1000.0);
}

TEST_F(NtpQuery, TimeOutAndBadAddressFail) {
  NtpQueryResult r;
  const DWORD start = GetTickCount();
  EXPECT_FALSE(QueryNtpTime(Peer("slow"), &r, 500));  // answers after 1.5 s
  EXPECT_GE(GetTickCount() - start, 450u);
  // nothing listens; Wine does not pass on the port-unreachable error, so
  // this may take the whole wait
  EXPECT_FALSE(QueryNtpTime(Peer("closed"), &r, 1000));
  EXPECT_FALSE(QueryNtpTime("not.an.address", &r));
  EXPECT_FALSE(QueryNtpTime(nullptr, &r));
}

TEST_F(NtpQuery, NextEraTimeInLocalTimeAndTheBytesOnTheWire) {
  NtpQueryResult r;
  ASSERT_TRUE(QueryNtpTime(Peer("era1"), &r));
  EXPECT_EQ(r.transmit.seconds, 100u);
  EXPECT_EQ(r.network.unix_seconds, 2085978596);  // 2036-02-07 06:29:56 UTC
  // the tests run with TZ=CST-8 (UTC+8)
  EXPECT_EQ(FormatTimeRecord(r.local), "2036-2-7 14:29:56");
  EXPECT_EQ(r.local.milliseconds, r.delay_ms);

  std::ifstream log(test::PeersFolder() + "\\requests.txt");
  std::string line, last;
  while (std::getline(log, line)) {
    if (line.rfind("era1 ", 0) == 0) last = line.substr(5);
  }
  EXPECT_EQ(last, "d9000afa0001000000010000" + std::string(72, '0'));
}

}  // namespace
}  // namespace kelvane
