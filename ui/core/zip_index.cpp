// Bounded walk over zip local file headers (see zip_index.h).
#include "ui/core/zip_index.h"

namespace varnak::ui {
namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint64_t kLocalHeaderSize = 30;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

struct Header {
  uint16_t flags, method, name_len, extra_len;
  uint32_t data_size;
};

Header ReadHeader(const uint8_t* h) {
  return Header{Le16(h + 6), Le16(h + 8), Le16(h + 26), Le16(h + 28), Le32(h + 18)};
}

}  // namespace

ZipWalkResult WalkZipLocalHeaders(const uint8_t* image, uint64_t size, std::vector<ZipRawEntry>* entries) {
  entries->clear();
  uint64_t off = 0;
  while (off < size) {
    if (size - off < 4 || Le32(image + off) != kLocalHeaderSignature) break;
    if (size - off < kLocalHeaderSize) return ZipWalkResult::kCorrupt;
    const Header h = ReadHeader(image + off);
    // stored entries only; bit 2 as the format rule says, and bit 3 (sizes in
    // a data descriptor) because the walk could not find the next header
    if (h.method != 0 || (h.flags & 0x0004) || (h.flags & 0x0008)) return ZipWalkResult::kUnsupported;
    const uint64_t total = kLocalHeaderSize + h.name_len + h.extra_len + uint64_t{h.data_size};
    if (total > size - off) return ZipWalkResult::kCorrupt;
    if (h.data_size != 0 && h.name_len >= 1 && h.name_len <= 2599) {
      ZipRawEntry e;
      e.name.assign(reinterpret_cast<const char*>(image + off + kLocalHeaderSize), h.name_len);
      e.header_offset = off;
      e.total_length = total;
      e.data_size = h.data_size;
      entries->push_back(std::move(e));
    }
    off += total;
  }
  return ZipWalkResult::kOk;
}

bool LocateZipData(const uint8_t* image, uint64_t size, uint64_t header_offset, uint64_t* data_offset,
                   uint64_t* data_size) {
  if (header_offset > size || size - header_offset < kLocalHeaderSize) return false;
  if (Le32(image + header_offset) != kLocalHeaderSignature) return false;
  const Header h = ReadHeader(image + header_offset);
  const uint64_t start = header_offset + kLocalHeaderSize + h.name_len + h.extra_len;
  if (start > size || size - start < h.data_size) return false;
  *data_offset = start;
  *data_size = h.data_size;
  return true;
}

}  // namespace varnak::ui
