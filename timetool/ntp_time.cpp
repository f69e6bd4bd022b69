// NTP request, reply checks and time arithmetic of the time tool.
#include "timetool/ntp_time.h"

#include <cmath>
#include <cstdio>

namespace kelvane {
namespace {

std::uint32_t ReadBigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
         (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}

}  // namespace

NtpPacket BuildNtpRequest() {
  NtpPacket packet{};
  packet[0] = 0xD9;  // leap 3, version 3, mode 1
  packet[1] = 0;     // stratum
  packet[2] = 10;    // poll interval, log2 s
  packet[3] = 0xFA;  // precision -6, log2 s
  packet[5] = 0x01;  // root delay 0x00010000: 1.0 s
  packet[9] = 0x01;  // root dispersion 0x00010000: 1.0 s
  return packet;
}

NtpReplyStatus CheckNtpReply(const std::uint8_t* data, std::size_t size,
                             NtpTimestamp* transmit) {
  if (data == nullptr || size < kNtpPacketSize) return NtpReplyStatus::kTooShort;
  const unsigned leap = data[0] >> 6;
  const unsigned mode = data[0] & 7u;
  const unsigned stratum = data[1];
  if (leap == 3) return NtpReplyStatus::kUnsynchronised;
  if (mode != 2 && mode != 4) return NtpReplyStatus::kBadMode;
  if (stratum < 1 || stratum > 15) return NtpReplyStatus::kBadStratum;
  NtpTimestamp stamp;
  stamp.seconds = ReadBigEndian32(data + 40);
  stamp.fraction = ReadBigEndian32(data + 44);
  if (stamp.seconds == 0) return NtpReplyStatus::kNoTransmitTime;
  if (transmit != nullptr) *transmit = stamp;
  return NtpReplyStatus::kOk;
}

std::uint32_t OneWayDelayMs(std::uint32_t t0, std::uint32_t t1) {
  return static_cast<std::uint32_t>(t1 - t0) / 2u;
}

NetworkTime ToNetworkTime(NtpTimestamp transmit, std::uint32_t delay_ms) {
  NetworkTime result;
  const std::uint32_t unix32 = transmit.seconds - kNtpToUnixSeconds;
  result.unix_seconds = static_cast<std::int64_t>(unix32);
  const float fraction_ms =
      static_cast<float>(transmit.fraction) * (1.0f / 4294967296.0f) * 1000.0f;
  const float total_ms = static_cast<float>(delay_ms) + fraction_ms;
  const float whole_seconds = std::floor(total_ms / 1000.0f);
  result.unix_seconds += static_cast<std::int64_t>(whole_seconds);
  float kept = total_ms - 1000.0f * whole_seconds;
  // float rounding can leave exactly 1000 after the subtraction
  if (kept >= 1000.0f) {
    kept -= 1000.0f;
    result.unix_seconds += 1;
  }
  if (kept < 0.0f) kept = 0.0f;
  result.milliseconds = static_cast<std::uint32_t>(kept);
  return result;
}

TimeRecord ToTimeRecord(const std::tm& local, std::uint32_t milliseconds) {
  TimeRecord record;
  record.year = static_cast<std::uint16_t>(local.tm_year + 1900);
  record.month = static_cast<std::uint16_t>(local.tm_mon + 1);
  record.day_of_week = 0;
  record.day = static_cast<std::uint16_t>(local.tm_mday);
  record.hour = static_cast<std::uint16_t>(local.tm_hour);
  record.minute = static_cast<std::uint16_t>(local.tm_min);
  record.second = static_cast<std::uint16_t>(local.tm_sec);
  record.milliseconds = static_cast<std::uint16_t>(milliseconds);
  return record;
}

std::string FormatTimeRecord(const TimeRecord& record) {
  char text[260];
  const int n = std::snprintf(text, sizeof text, "%d-%d-%d %d:%d:%d", record.year, record.month,
                              record.day, record.hour, record.minute, record.second);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof text) return std::string();
  return std::string(text, static_cast<std::size_t>(n));
}

ServerTable DefaultServers() {
  return {"202.120.2.101",    // slot 1: Shanghai Jiao Tong University
          "17.253.84.253",    // slot 2: Apple
          "114.118.7.161",    // slot 3: national time service centre
          "202.118.1.130"};   // slot 4: Northeastern University
}

namespace {

// One dotted-decimal IPv4 address: four parts of 1 to 3 digits, each 0-255.
bool IsDottedIpv4(const std::string& text) {
  int parts = 0;
  std::size_t i = 0;
  while (true) {
    std::size_t digits = 0;
    unsigned value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
      value = value * 10 + static_cast<unsigned>(text[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
    ++parts;
    if (i == text.size()) return parts == 4;
    if (text[i] != '.' || parts == 4) return false;
    ++i;
  }
}

std::string TrimSpaces(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

bool ParseServerList(const std::string& text, ServerTable* table) {
  ServerTable parsed;
  std::size_t start = 0;
  for (std::size_t slot = 0; slot < parsed.size(); ++slot) {
    const std::size_t comma = text.find(',', start);
    const bool last = slot + 1 == parsed.size();
    if (last != (comma == std::string::npos)) return false;
    parsed[slot] = TrimSpaces(text.substr(start, last ? std::string::npos : comma - start));
    if (!IsDottedIpv4(parsed[slot])) return false;
    start = comma + 1;
  }
  if (table != nullptr) *table = parsed;
  return true;
}

}  // namespace kelvane
