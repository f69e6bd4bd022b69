// The NTP exchange: one request, one checked reply, the time it carries.
#include "timetool/ntp_query.h"

#include <ctime>

#include "common/win_handles.h"

namespace kelvane {
namespace {

// Holds the sockets library started for one exchange.
class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
  }
  ~WinsockSession() {
    if (started_) WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  bool started() const { return started_; }

 private:
  bool started_ = false;
};

// Sends the request and receives one reply into reply (zeroed first).
// Yields the received length, or -1.
int ExchangeDatagrams(const char* server_address, DWORD wait_ms, std::uint8_t* reply,
                      int reply_size) {
  WinsockSession winsock;
  if (!winsock.started()) return -1;
  const unsigned long address = inet_addr(server_address);
  if (address == INADDR_NONE) return -1;
  varnak::unique_socket sock(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
  if (!sock) return -1;
  // A connected datagram socket only delivers what comes from the server's
  // address and port, so a stray or forged datagram cannot answer us.
  sockaddr_in server = {};
  server.sin_family = AF_INET;
  server.sin_port = htons(kNtpPort);
  server.sin_addr.s_addr = address;
  if (connect(sock.get(), reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0)
    return -1;
  const NtpPacket request = BuildNtpRequest();
  if (send(sock.get(), reinterpret_cast<const char*>(request.data()),
           static_cast<int>(request.size()), 0) != static_cast<int>(request.size()))
    return -1;

  fd_set readable, urgent;
  FD_ZERO(&readable);
  FD_ZERO(&urgent);
  FD_SET(sock.get(), &readable);
  FD_SET(sock.get(), &urgent);
  timeval wait = {static_cast<long>(wait_ms / 1000), static_cast<long>(wait_ms % 1000) * 1000};
  if (select(0, &readable, nullptr, &urgent, &wait) <= 0) return -1;

  ZeroMemory(reply, reply_size);
  const int got = recv(sock.get(), reinterpret_cast<char*>(reply), reply_size, 0);
  return got == SOCKET_ERROR ? -1 : got;
}

}  // namespace

bool QueryNtpTime(const char* server_address, NtpQueryResult* result, DWORD wait_ms) {
  if (server_address == nullptr || result == nullptr) return false;
  const DWORD t0 = GetTickCount();
  // room for a reply with extension fields or a MAC; only the header is read
  std::uint8_t reply[512];
  const int got = ExchangeDatagrams(server_address, wait_ms, reply, sizeof reply);
  const DWORD t1 = GetTickCount();
  if (got < 0) return false;

  NtpQueryResult out;
  if (CheckNtpReply(reply, static_cast<std::size_t>(got), &out.transmit) != NtpReplyStatus::kOk)
    return false;
  out.delay_ms = OneWayDelayMs(t0, t1);
  out.network = ToNetworkTime(out.transmit, out.delay_ms);
  // the 64-bit routine, so that times after 2038 convert in the 32-bit build too
  const __time64_t seconds = out.network.unix_seconds;
  const std::tm* local = _localtime64(&seconds);
  if (local == nullptr) return false;
  out.local = ToTimeRecord(*local, out.network.milliseconds);
  *result = out;
  return true;
}

SYSTEMTIME ToSystemTime(const TimeRecord& record) {
  SYSTEMTIME time;
  time.wYear = record.year;
  time.wMonth = record.month;
  time.wDayOfWeek = record.day_of_week;
  time.wDay = record.day;
  time.wHour = record.hour;
  time.wMinute = record.minute;
  time.wSecond = record.second;
  time.wMilliseconds = record.milliseconds;
  return time;
}

TimeRecord FromSystemTime(const SYSTEMTIME& time) {
  TimeRecord record;
  record.year = time.wYear;
  record.month = time.wMonth;
  record.day_of_week = time.wDayOfWeek;
  record.day = time.wDay;
  record.hour = time.wHour;
  record.minute = time.wMinute;
  record.second = time.wSecond;
  record.milliseconds = time.wMilliseconds;
  return record;
}

}  // namespace kelvane
