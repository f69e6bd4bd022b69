// Host tests of the time tool's request bytes, reply checks and time maths.
#include "timetool/ntp_time.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kelvane {
namespace {

TEST(NtpRequest, BytesAreExact) {
  const NtpPacket expected = {0xD9, 0x00, 0x0A, 0xFA, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
                              0x00, 0x00};  // the remaining 36 bytes are zero
  EXPECT_EQ(BuildNtpRequest(), expected);
}

// A well-formed server reply: leap 0, version 3, mode 4, stratum 2.
NtpPacket GoodReply(std::uint32_t seconds = 0xE1B2C3D4u, std::uint32_t fraction = 0x80000000u) {
  NtpPacket p{};
  p[0] = 0x1C;
  p[1] = 2;
  p[40] = seconds >> 24, p[41] = seconds >> 16, p[42] = seconds >> 8, p[43] = seconds;
  p[44] = fraction >> 24, p[45] = fraction >> 16, p[46] = fraction >> 8, p[47] = fraction;
  return p;
}

TEST(NtpReply, GoodReplyYieldsTransmitTimestamp) {
  NtpPacket reply = GoodReply(0xE1B2C3D4u, 0x12345678u);
  NtpTimestamp t;
  ASSERT_EQ(CheckNtpReply(reply.data(), reply.size(), &t), NtpReplyStatus::kOk);
  EXPECT_EQ(t.seconds, 0xE1B2C3D4u);
  EXPECT_EQ(t.fraction, 0x12345678u);
  // symmetric passive is the answer to a symmetric active request
  reply[0] = 0x1A;
  EXPECT_EQ(CheckNtpReply(reply.data(), reply.size(), &t), NtpReplyStatus::kOk);
  // longer datagrams (extension fields, a MAC) are fine
  std::uint8_t longer[68] = {};
  std::memcpy(longer, reply.data(), reply.size());
  EXPECT_EQ(CheckNtpReply(longer, sizeof longer, &t), NtpReplyStatus::kOk);
}

TEST(NtpReply, EachRejectionRule) {
  struct Case {
    const char* what;
    int byte0, stratum;
    std::size_t size;
    std::uint32_t seconds;
    NtpReplyStatus status;
  };
  const Case cases[] = {
      {"empty", 0x1C, 2, 0, 1, NtpReplyStatus::kTooShort},
      {"47 bytes", 0x1C, 2, 47, 1, NtpReplyStatus::kTooShort},
      {"leap 3 (unsynchronised server)", 0xDC, 2, 48, 1, NtpReplyStatus::kUnsynchronised},
      {"mode 1 (our own request echoed)", 0x19, 2, 48, 1, NtpReplyStatus::kBadMode},
      {"mode 3 (a client request)", 0x1B, 2, 48, 1, NtpReplyStatus::kBadMode},
      {"mode 5 (broadcast)", 0x1D, 2, 48, 1, NtpReplyStatus::kBadMode},
      {"mode 0", 0x18, 2, 48, 1, NtpReplyStatus::kBadMode},
      {"stratum 0 (kiss-o'-death)", 0x1C, 0, 48, 1, NtpReplyStatus::kBadStratum},
      {"stratum 16 (unsynchronised)", 0x1C, 16, 48, 1, NtpReplyStatus::kBadStratum},
      {"stratum 255", 0x1C, 255, 48, 1, NtpReplyStatus::kBadStratum},
      {"transmit seconds 0", 0x1C, 2, 48, 0, NtpReplyStatus::kNoTransmitTime},
      {"leap 1 and stratum 15 are fine", 0x5C, 15, 48, 1, NtpReplyStatus::kOk},
  };
  for (const Case& c : cases) {
    NtpPacket reply = GoodReply(c.seconds);
    reply[0] = static_cast<std::uint8_t>(c.byte0);
    reply[1] = static_cast<std::uint8_t>(c.stratum);
    NtpTimestamp t{7, 7};
    EXPECT_EQ(CheckNtpReply(reply.data(), c.size, &t), c.status) << c.what;
    if (c.status != NtpReplyStatus::kOk) {
      EXPECT_EQ(t.seconds, 7u) << c.what << ": output touched";
    }
  }
  EXPECT_EQ(CheckNtpReply(nullptr, 48, nullptr), NtpReplyStatus::kTooShort);
}

TEST(NtpTime, OneWayDelayRoundsDownAndSurvivesTickWrap) {
  EXPECT_EQ(OneWayDelayMs(1000, 1101), 50u);
  EXPECT_EQ(OneWayDelayMs(5, 5), 0u);
  EXPECT_EQ(OneWayDelayMs(0xFFFFFFF0u, 0x00000010u), 16u);  // GetTickCount wrapped
}

TEST(NtpTime, FractionDelayAndCarry) {
  const std::uint32_t base = kNtpToUnixSeconds + 1000000000u;  // 2001-09-09 01:46:40 UTC
  struct Case {
    const char* what;
    std::uint32_t fraction, delay_ms;
    std::int64_t unix_seconds;
    std::uint32_t milliseconds;
  };
  const Case cases[] = {
      {"no fraction, no delay", 0, 0, 1000000000, 0},
      {"half a second, 100 ms round trip", 0x80000000u, 50, 1000000000, 550},
      {"937.5 ms, 200 ms round trip carries", 0xF0000000u, 100, 1000000001, 37},
      {"fraction 0xFFFFFFFF is 1000.0 in a float and carries", 0xFFFFFFFFu, 0, 1000000001, 0},
      {"a delay of several seconds carries them all", 0, 4321, 1000000004, 321},
      {"just below a second stays", 0xFF000000u, 0, 1000000000, 996},
  };
  for (const Case& c : cases) {
    const NetworkTime t = ToNetworkTime({base, c.fraction}, c.delay_ms);
    EXPECT_EQ(t.unix_seconds, c.unix_seconds) << c.what;
    EXPECT_EQ(t.milliseconds, c.milliseconds) << c.what;
    EXPECT_LT(t.milliseconds, 1000u) << c.what;
  }
}

TEST(NtpTime, SecondsAcrossTheEraRollover) {
  // the last second of era 0 and the first seconds of era 1 (2036-02-07 06:28:16 UTC)
  EXPECT_EQ(ToNetworkTime({0xFFFFFFFFu, 0}, 0).unix_seconds, 2085978495);
  EXPECT_EQ(ToNetworkTime({0, 0}, 0).unix_seconds, 2085978496);
  EXPECT_EQ(ToNetworkTime({100, 0}, 0).unix_seconds, 2085978596);
  // the largest time the unsigned arithmetic reaches: 2106-02-07 06:28:15 UTC
  EXPECT_EQ(ToNetworkTime({kNtpToUnixSeconds - 1, 0}, 0).unix_seconds, 4294967295);
  EXPECT_EQ(ToNetworkTime({kNtpToUnixSeconds, 0}, 0).unix_seconds, 0);
}

TEST(NtpTime, TimeRecordAndItsText) {
  std::tm local{};
  local.tm_year = 136;  // 2036
  local.tm_mon = 1;     // February
  local.tm_mday = 7;
  local.tm_hour = 14;
  local.tm_min = 29;
  local.tm_sec = 56;
  local.tm_wday = 4;
  const TimeRecord r = ToTimeRecord(local, 999);
  EXPECT_EQ(r.year, 2036);
  EXPECT_EQ(r.month, 2);
  EXPECT_EQ(r.day_of_week, 0);
  EXPECT_EQ(r.day, 7);
  EXPECT_EQ(r.hour, 14);
  EXPECT_EQ(r.minute, 29);
  EXPECT_EQ(r.second, 56);
  EXPECT_EQ(r.milliseconds, 999);
  EXPECT_EQ(FormatTimeRecord(r), "2036-2-7 14:29:56");
  local = std::tm{};
  local.tm_year = 70;
  local.tm_mday = 1;
  EXPECT_EQ(FormatTimeRecord(ToTimeRecord(local, 0)), "1970-1-1 0:0:0");
}

TEST(ServerList, OverrideNeedsFourDottedAddresses) {
  ServerTable table = DefaultServers();
  ASSERT_TRUE(ParseServerList("127.0.0.2, 127.0.0.3,10.1.2.3 ,255.255.255.255", &table));
  EXPECT_EQ(table, (ServerTable{"127.0.0.2", "127.0.0.3", "10.1.2.3", "255.255.255.255"}));

  const char* bad[] = {"",
                       "127.0.0.1",
                       "1.1.1.1,2.2.2.2,3.3.3.3",
                       "1.1.1.1,2.2.2.2,3.3.3.3,4.4.4.4,5.5.5.5",
                       "1.1.1.1,2.2.2.2,3.3.3.3,",
                       "1.1.1.1,,3.3.3.3,4.4.4.4",
                       "1.1.1.256,2.2.2.2,3.3.3.3,4.4.4.4",
                       "1.1.1,2.2.2.2,3.3.3.3,4.4.4.4",
                       "1.1.1.1.1,2.2.2.2,3.3.3.3,4.4.4.4",
                       "1.1.1.0001,2.2.2.2,3.3.3.3,4.4.4.4",
                       "ntp.example,2.2.2.2,3.3.3.3,4.4.4.4",
                       "1.1.1.-1,2.2.2.2,3.3.3.3,4.4.4.4",
                       "1..1.1,2.2.2.2,3.3.3.3,4.4.4.4"};
  for (const char* text : bad) {
    ServerTable kept = DefaultServers();
    EXPECT_FALSE(ParseServerList(text, &kept)) << text;
    EXPECT_EQ(kept, DefaultServers()) << text;
  }
}

}  // namespace
}  // namespace kelvane
