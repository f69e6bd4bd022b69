// The single NTP exchange of the time tool (Winsock), run on a worker thread.
#ifndef KELVANE_NTP_QUERY_H
#define KELVANE_NTP_QUERY_H

#include <windows.h>

#include "timetool/ntp_time.h"

namespace kelvane {

// How long the tool waits for the server's reply.
constexpr DWORD kNtpWaitMs = 10000;

struct NtpQueryResult {
  NtpTimestamp transmit;  // the server's transmit timestamp, as received
  DWORD delay_ms = 0;     // the one-way delay added to it
  NetworkTime network;    // transmit time plus delay, Unix seconds and milliseconds
  TimeRecord local;       // the same instant in local time
};

// Sends the request to server_address (dotted IPv4) port 123 and waits up to
// wait_ms for a reply from that address and port. Fails on a time-out, any
// socket error, a reply that CheckNtpReply rejects, or a time the runtime
// cannot convert to local time.
bool QueryNtpTime(const char* server_address, NtpQueryResult* result,
                  DWORD wait_ms = kNtpWaitMs);

// Copies a time record into the platform's layout.
SYSTEMTIME ToSystemTime(const TimeRecord& record);
TimeRecord FromSystemTime(const SYSTEMTIME& time);

}  // namespace kelvane

#endif
