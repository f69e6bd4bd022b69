// The platform-free part of the time tool: the NTP request it sends, the
// checks a reply must pass, and the arithmetic that turns the reply's
// transmit timestamp into Unix seconds, milliseconds and a time record.
#ifndef KELVANE_NTP_TIME_H
#define KELVANE_NTP_TIME_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace kelvane {

constexpr std::size_t kNtpPacketSize = 48;
constexpr std::uint16_t kNtpPort = 123;
// Seconds from 1900-01-01 to 1970-01-01, both UTC.
constexpr std::uint32_t kNtpToUnixSeconds = 2208988800u;

using NtpPacket = std::array<std::uint8_t, kNtpPacketSize>;

// A 64-bit NTP timestamp: seconds since 1900 (modulo 2^32) and 2^-32 s units.
struct NtpTimestamp {
  std::uint32_t seconds = 0;
  std::uint32_t fraction = 0;
};

// The request: version 3, symmetric active, leap 3, poll 10, precision -6,
// root delay and dispersion 1.0 s, all timestamps zero.
NtpPacket BuildNtpRequest();

enum class NtpReplyStatus {
  kOk,
  kTooShort,         // fewer than 48 bytes
  kUnsynchronised,   // leap indicator 3: the server has no time to give
  kBadMode,          // not symmetric passive (2) or server (4)
  kBadStratum,       // 0 (a kiss-o'-death) or 16 and above
  kNoTransmitTime,   // transmit seconds 0
};

// Checks a received datagram and yields its transmit timestamp when it is
// one a clock may be set from.
NtpReplyStatus CheckNtpReply(const std::uint8_t* data, std::size_t size,
                             NtpTimestamp* transmit);

// Half the round trip between two millisecond tick counts, rounded down.
// Unsigned, so a tick counter that wrapped in between still gives the right
// figure.
std::uint32_t OneWayDelayMs(std::uint32_t t0, std::uint32_t t1);

// The server's time plus the one-way delay, in Unix seconds and whole
// milliseconds (always below 1000).
struct NetworkTime {
  std::int64_t unix_seconds = 0;
  std::uint32_t milliseconds = 0;
};

// The seconds go through unsigned 32-bit arithmetic, so a timestamp of the
// next NTP era (after 2036-02-07) still maps to the right Unix time, up to
// 2106. The fraction is converted in single precision, as the tool always
// did: a fraction of 0xFFFFFFFF rounds to a whole second and carries.
NetworkTime ToNetworkTime(NtpTimestamp transmit, std::uint32_t delay_ms);

// The platform's system-time layout: year, month, day of week, day, hour,
// minute, second, milliseconds. The day of week stays 0.
struct TimeRecord {
  std::uint16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t day_of_week = 0;
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t milliseconds = 0;
};

// Fills a record from a broken-down local time and the kept milliseconds.
TimeRecord ToTimeRecord(const std::tm& local, std::uint32_t milliseconds);

// "year-month-day hour:minute:second" without leading zeros, as both time
// fields of the dialog show it.
std::string FormatTimeRecord(const TimeRecord& record);

// The four server addresses, slots 1 to 4, as dotted IPv4 text.
using ServerTable = std::array<std::string, 4>;

// The compiled-in servers.
ServerTable DefaultServers();

// Parses "a.b.c.d,a.b.c.d,a.b.c.d,a.b.c.d" (spaces around the addresses
// allowed). Yields false, leaving *table alone, unless there are exactly
// four valid dotted IPv4 addresses.
bool ParseServerList(const std::string& text, ServerTable* table);

}  // namespace kelvane

#endif
