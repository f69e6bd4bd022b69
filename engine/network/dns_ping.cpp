// DNS probe, host-name resolution and ICMP echo.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/core/dns_packet.h"
#include "engine/frame/engine.h"

namespace varnak::engine {
namespace {

// Starts and stops the socket library around one use (starts are counted).
struct WinsockUse {
  bool started = false;
  WinsockUse() {
    WSADATA data;
    started = WSAStartup(MAKEWORD(1, 1), &data) == 0;
  }
  ~WinsockUse() {
    if (started) WSACleanup();
  }
};

double MillisecondsNow() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// Sends the probe to server:53 and waits up to wait_ms for its reply: a
// datagram from that address and port carrying the probe's id. Other
// datagrams are read off and ignored while the wait goes on. The matching
// reply is peeked, not removed, and parsed within the received bytes.
bool QueryExchange(const char* server, DWORD wait_ms, std::string* address) {
  LogA("[GetHostIPForDnsIP] HostName:%s DnsIP:%s", kDnsProbeName, server);
  std::vector<uint8_t> packet;
  if (!BuildDnsQuery(kDnsProbeName, &packet)) {
    LogA("[GetHostIPForDnsIP] CreateDNSPack false!");
    return false;
  }
  auto fail = [] {
    LogA("[GetHostIPForDnsIP] SendUdpAndRecvTimeOut false!");
    return false;
  };
  WinsockUse winsock;
  if (!winsock.started) return fail();
  sockaddr_in to;
  memset(&to, 0, sizeof to);
  to.sin_family = AF_INET;
  to.sin_port = htons(53);
  to.sin_addr.s_addr = inet_addr(server);
  if (to.sin_addr.s_addr == INADDR_NONE) return fail();
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return fail();
  struct CloseSocket {
    SOCKET s;
    ~CloseSocket() { closesocket(s); }
  } close_socket{s};
  if (sendto(s, reinterpret_cast<const char*>(packet.data()), int(packet.size()), 0,
             reinterpret_cast<sockaddr*>(&to), sizeof to) != int(packet.size()))
    return fail();
  WSAEVENT event = WSACreateEvent();
  if (event == WSA_INVALID_EVENT) return fail();
  struct CloseEvent {
    WSAEVENT e;
    ~CloseEvent() { WSACloseEvent(e); }
  } close_event{event};
  if (WSAEventSelect(s, event, FD_READ | FD_OOB) != 0) return fail();

  const double deadline = MillisecondsNow() + wait_ms;
  uint8_t reply[kDnsReplyBuffer];
  for (;;) {
    double left = deadline - MillisecondsNow();
    DWORD wait = left > 0 ? DWORD(left + 0.5) : 0;
    DWORD r = WSAWaitForMultipleEvents(1, &event, FALSE, wait, TRUE);
    if (r != WSA_WAIT_EVENT_0) {
      LogA("[SendUdpAndRecvTimeOut] WSAWaitForMultipleEvents Ret:%d LastError:%d", int(r), WSAGetLastError());
      return fail();
    }
    WSANETWORKEVENTS happened;
    memset(&happened, 0, sizeof happened);
    WSAEnumNetworkEvents(s, event, &happened);
    if (happened.lNetworkEvents != FD_READ && happened.lNetworkEvents != FD_OOB) continue;
    memset(reply, 0, sizeof reply);
    sockaddr_in from;
    int from_len = sizeof from;
    int got = recvfrom(s, reinterpret_cast<char*>(reply), sizeof reply, MSG_PEEK,
                       reinterpret_cast<sockaddr*>(&from), &from_len);
    if (got == SOCKET_ERROR && WSAGetLastError() == WSAEMSGSIZE) got = sizeof reply;  // larger: the first 1,024 bytes
    if (got == SOCKET_ERROR) return false;
    const bool ours = from.sin_addr.s_addr == to.sin_addr.s_addr && from.sin_port == to.sin_port &&
                      IsProbeReply(reply, size_t(got));
    if (!ours) {
      char drop[kDnsReplyBuffer];
      recv(s, drop, sizeof drop, 0);  // read it off and keep waiting
      continue;
    }
    if (!ParseDnsReply(reply, size_t(got), address,
                       [](int type) { LogA("[GetDNSPackIP]Unknown AnswerRet_Type :%d", type); })) {
      LogA("HostIP UnPack False");
      return false;
    }
    LogA("HostIP:%s\r\n", address->c_str());
    return true;
  }
}

bool ResolveHost(const char* host, std::string* address) {
  WinsockUse winsock;  // always our own start: another thread's may end at any time
  hostent* entry = gethostbyname(host);
  if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0]) return false;
  in_addr a;
  memcpy(&a, entry->h_addr_list[0], sizeof a);
  const char* text = inet_ntoa(a);
  if (!text) return false;
  *address = text;  // copied before the library is stopped
  return true;
}

int Ping(const char* address, int timeout_ms, int* round_trip_ms) {
  if (!address || !round_trip_ms) return 0;
  unsigned long to = inet_addr(address);
  if (to == INADDR_NONE) return 0;  // also "255.255.255.255"
  HANDLE icmp = IcmpCreateFile();
  if (icmp == INVALID_HANDLE_VALUE) return 0;
  char payload[32] = "ABCDEFGHIGKLMNOPQRSTUVWXYZABCDE";
  // room for the reply record of either bitness, the echoed data and the
  // 8 bytes of an ICMP error the platform asks for
  alignas(8) char reply[sizeof(ICMP_ECHO_REPLY) + sizeof payload + 8 + 64];
  DWORD n = IcmpSendEcho(icmp, to, payload, sizeof payload, nullptr, reply, sizeof reply,
                         DWORD(timeout_ms < 0 ? 0 : timeout_ms));
  int result = 0;
  const auto* echo = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply);
  if (n > 0 && echo->Status == IP_SUCCESS) {  // an error reply is no echo
    *round_trip_ms = int(echo->RoundTripTime);
    LogA("[SendPing]IP:%s timeout:%d RealTimeOut:%d\r\n", address, timeout_ms, *round_trip_ms);
    result = 1;
  }
  IcmpCloseHandle(icmp);
  return result;
}

}  // namespace
}  // namespace varnak::engine

using namespace varnak::engine;

ORLIMB_EXPORT int ORLIMB_CALL TestDnsRecvTime(const char* server, int timeout_ms, int* time_ms) {
  return Guarded(0, [&] {
    if (!server || !time_ms) return 0;
    if (timeout_ms < 0) timeout_ms = 0;
    if (timeout_ms > 0x7FFFFFFF / 2) timeout_ms = 0x7FFFFFFF / 2;
    const double start = MillisecondsNow();
    std::string address;
    if (!QueryExchange(server, DWORD(timeout_ms) * 2, &address)) return 0;
    // half the elapsed time, from the performance counter (not the coarse tick)
    const unsigned elapsed = unsigned(MillisecondsNow() - start);
    *time_ms = int(elapsed / 2);
    LogA("[TestDnsRecvTime] real time:%d", *time_ms);
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL GetHostIP(const char* host, char* address) {
  return Guarded(0, [&] {
    if (!host || !*host || !address) return 0;
    std::string ip;
    if (!ResolveHost(host, &ip) || ip.size() >= ORLIMB_ADDRESS_SIZE) return 0;
    memcpy(address, ip.c_str(), ip.size() + 1);
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL SendPing(const char* address, int timeout_ms, int* round_trip_ms) {
  return Guarded(0, [&] { return Ping(address, timeout_ms, round_trip_ms); });
}

ORLIMB_EXPORT int ORLIMB_CALL SendPingByName(const char* host, int timeout_ms, int* round_trip_ms) {
  return Guarded(0, [&] {
    if (!host || !*host || !round_trip_ms) return 0;
    LogA("[SendPingByName]GetHostIP Strat HostName:%s\r\n", host);
    std::string ip;
    if (!ResolveHost(host, &ip)) return 0;
    LogA("[SendPingByName]HostName:%s IP:%s \r\n", host, ip.c_str());
    return Ping(ip.c_str(), timeout_ms, round_trip_ms);
  });
}
