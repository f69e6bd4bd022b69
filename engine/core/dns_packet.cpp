// DNS probe packets. The parser follows the probe's simple record walk
// (compressed two-byte owner names are assumed) but never reads past the
// bytes actually received.
#include "engine/core/dns_packet.h"

#include <cstdio>

namespace varnak::engine {

bool BuildDnsQuery(const std::string& name, std::vector<uint8_t>* packet) {
  std::vector<uint8_t> encoded;
  size_t start = 0;
  while (start <= name.size()) {
    size_t dot = name.find('.', start);
    if (dot == std::string::npos) dot = name.size();
    size_t len = dot - start;
    if (len == 0 || len > 63) return false;
    encoded.push_back(uint8_t(len));
    encoded.insert(encoded.end(), name.begin() + long(start), name.begin() + long(dot));
    start = dot + 1;
    if (dot == name.size()) break;
  }
  encoded.push_back(0);
  if (encoded.size() > 128) return false;
  packet->assign({0x08, 0x08, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  packet->insert(packet->end(), encoded.begin(), encoded.end());
  packet->insert(packet->end(), {0x00, 0x01, 0x00, 0x01});
  return true;
}

bool IsProbeReply(const uint8_t* data, size_t received) {
  return data && received >= 2 && data[0] == (kDnsProbeId >> 8) && data[1] == (kDnsProbeId & 0xFF);
}

bool ParseDnsReply(const uint8_t* data, size_t received, std::string* address,
                   const std::function<void(int)>& unknown_type) {
  if (!data || received < 12) return false;
  // only the low bytes of the three record counts
  const int records = data[7] + data[9] + data[11];
  if (records == 0) return false;
  size_t name_end = 12;
  while (name_end < received && data[name_end] != 0) ++name_end;
  if (name_end >= received) return false;  // the question name has no end inside the reply
  size_t start = name_end + 1 + 4;
  for (int i = 0; i < records && start + 16 <= received; ++i) {
    const int type = data[start + 3];
    const size_t length = data[start + 11];
    if (type == 1 && length == 4) {
      char text[16];
      snprintf(text, sizeof text, "%u.%u.%u.%u", data[start + 12], data[start + 13], data[start + 14],
               data[start + 15]);
      *address = text;
      return true;
    }
    if (type == 5) {
      start += 12 + length;
    } else {
      if (unknown_type) unknown_type(type);
      start += 12;
    }
  }
  return false;
}

}  // namespace varnak::engine
