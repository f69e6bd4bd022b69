// The DNS probe's query packet and reply parser. Platform-free.
#ifndef VARNAK_ENGINE_CORE_DNS_PACKET_H
#define VARNAK_ENGINE_CORE_DNS_PACKET_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace varnak::engine {

// The name every probe asks for: a 13-character host name of a well-known
// site that any public DNS server resolves quickly.
inline constexpr const char kDnsProbeName[] = "www.baidu.com";

constexpr uint16_t kDnsProbeId = 0x0808;
constexpr size_t kDnsReplyBuffer = 1024;

// A standard recursive A query with id 0x0808. False when the name does not
// encode (an empty or over-long label) or its encoding exceeds 128 bytes.
bool BuildDnsQuery(const std::string& name, std::vector<uint8_t>* packet);

// True when the datagram carries the probe's transaction id.
bool IsProbeReply(const uint8_t* data, size_t received);

// Finds the first IPv4 address record of a reply, reading only the
// `received` bytes. `unknown_type` is told each record type it skips.
bool ParseDnsReply(const uint8_t* data, size_t received, std::string* address,
                   const std::function<void(int)>& unknown_type = nullptr);

}  // namespace varnak::engine

#endif
