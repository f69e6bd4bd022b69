// DNS probe, resolution and ping through the real DLL, against dnsmasq and
// scripted servers on loopback addresses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "engine/tests/engine_test_util.h"

namespace varnak::test {
namespace {

std::map<std::string, std::string> DnsServers() {
  std::map<std::string, std::string> servers;
  const char* dir = getenv("VARNAK_ENGINE_PEERS_DIR");
  std::string text;
  if (!dir || !ReadFileBytes(WinePath(dir) + "\\dns\\servers", &text)) return servers;
  std::istringstream in(text);
  std::string name, address;
  while (in >> name >> address) servers[name] = address;
  return servers;
}

TEST(EngineNetwork, DnsProbeAgainstRealServers) {
  auto servers = DnsServers();
  ASSERT_FALSE(servers.empty()) << "the DNS peers are not running";
  auto probe = ORLIMB(TestDnsRecvTime);
  DebugCapture capture;
  int t = -1;
  ASSERT_EQ(probe(servers["plain0"].c_str(), 1000, &t), 1);
  EXPECT_GE(t, 0);
  EXPECT_LT(t, 100);
  EXPECT_TRUE(capture.Contains("HostIP:10.53.0.1\r\n"));
  EXPECT_TRUE(capture.Contains("[GetHostIPForDnsIP] HostName:www.baidu.com DnsIP:" + servers["plain0"]));
  EXPECT_TRUE(capture.Contains("[TestDnsRecvTime] real time:" + std::to_string(t)));
  capture.Clear();
  ASSERT_EQ(probe(servers["alias"].c_str(), 1000, &t), 1);  // an alias record, then the address
  EXPECT_TRUE(capture.Contains("HostIP:10.53.1.1\r\n"));
}

TEST(EngineNetwork, DnsProbeTimesHalfTheRoundTrip) {
  auto servers = DnsServers();
  ASSERT_FALSE(servers.empty());
  int t = -1;
  ASSERT_EQ(ORLIMB(TestDnsRecvTime)(servers["slow"].c_str(), 1000, &t), 1);
  EXPECT_GE(t, 148);  // answers after 300 ms: reported as about 150
  EXPECT_LE(t, 200);
}

TEST(EngineNetwork, SilentServerTimesOutAtTwiceTheTimeout) {
  auto servers = DnsServers();
  ASSERT_FALSE(servers.empty());
  int t = 12345;
  DebugCapture capture;
  DWORD start = GetTickCount();
  EXPECT_EQ(ORLIMB(TestDnsRecvTime)(servers["silent"].c_str(), 500, &t), 0);
  DWORD took = GetTickCount() - start;
  EXPECT_GE(took, 950u);
  EXPECT_LT(took, 2500u);
  EXPECT_EQ(t, 12345);
  EXPECT_TRUE(capture.Contains("[SendUdpAndRecvTimeOut] WSAWaitForMultipleEvents Ret:258"));
  EXPECT_TRUE(capture.Contains("[GetHostIPForDnsIP] SendUdpAndRecvTimeOut false!"));
}

TEST(EngineNetwork, HostileRepliesFailCleanly) {
  auto servers = DnsServers();
  ASSERT_FALSE(servers.empty());
  auto probe = ORLIMB(TestDnsRecvTime);
  const struct {
    const char* server;
    int result;
    const char* line;
  } cases[] = {
      {"wrongid", 1, "HostIP:10.53.3.1\r\n"},  // the other id and the other port were ignored
      {"truncated", 0, "HostIP UnPack False"},
      {"oversize", 1, "HostIP:10.53.4.1\r\n"},  // the first 1,024 bytes are read
      {"noend", 0, "HostIP UnPack False"},
  };
  for (const auto& c : cases) {
    DebugCapture capture;
    int t = -1;
    EXPECT_EQ(probe(servers[c.server].c_str(), 1000, &t), c.result) << c.server;
    EXPECT_TRUE(capture.Contains(c.line)) << c.server;
    EXPECT_FALSE(capture.Contains("10.66.6.")) << c.server;
  }
  int t = 99;
  EXPECT_EQ(probe("not an address", 100, &t), 0);
  EXPECT_EQ(probe(nullptr, 100, &t), 0);
  EXPECT_EQ(probe(servers["plain1"].c_str(), 100, nullptr), 0);
  EXPECT_EQ(t, 99);
  // a negative time-out is clamped to 0, never an endless wait
  DWORD start = GetTickCount();
  probe(servers["silent"].c_str(), -5, &t);
  EXPECT_LT(GetTickCount() - start, 1000u);
}

TEST(EngineNetwork, ResolveAndPing) {
  char ip[17] = {};
  ASSERT_EQ(ORLIMB(GetHostIP)("localhost", ip), 1);
  EXPECT_STREQ(ip, "127.0.0.1");
  EXPECT_EQ(ORLIMB(GetHostIP)("", ip), 0);
  EXPECT_EQ(ORLIMB(GetHostIP)("localhost", nullptr), 0);
  int rtt = -1;
  DebugCapture capture;
  ASSERT_EQ(ORLIMB(SendPing)("127.0.0.1", 1000, &rtt), 1);
  EXPECT_GE(rtt, 0);
  EXPECT_TRUE(capture.Contains("[SendPing]IP:127.0.0.1 timeout:1000 RealTimeOut:"));
  rtt = -1;
  EXPECT_EQ(ORLIMB(SendPing)("255.255.255.255", 1000, &rtt), 0);
  EXPECT_EQ(ORLIMB(SendPing)("no.such", 1000, &rtt), 0);
  EXPECT_EQ(ORLIMB(SendPing)("127.0.0.1", 1000, nullptr), 0);
  EXPECT_EQ(rtt, -1);
  ASSERT_EQ(ORLIMB(SendPingByName)("localhost", 1000, &rtt), 1);
  EXPECT_TRUE(capture.Contains("[SendPingByName]HostName:localhost IP:127.0.0.1 \r\n"));
  capture.Clear();
  EXPECT_EQ(ORLIMB(SendPingByName)("", 1000, &rtt), 0);
  EXPECT_FALSE(capture.Contains("[SendPingByName]GetHostIP Strat"));
}

}  // namespace
}  // namespace varnak::test
