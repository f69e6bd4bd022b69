// zlib framing: one stream per file. Decompression runs once with a growing
// buffer instead of retrying the one-shot routine at 1x..10x the source size;
// the outcome is the same (too large above 10x, any other error at once).
#include "engine/core/zlib_frame.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>

namespace varnak::engine {

bool ZlibCompress(const uint8_t* data, size_t length, std::vector<uint8_t>* out) {
  if (!out || (!data && length)) return false;
  if (length > std::numeric_limits<uLong>::max()) return false;
  try {
    uLongf bound = compressBound(static_cast<uLong>(length));
    out->resize(bound);
    int rc = compress(out->data(), &bound, data, static_cast<uLong>(length));
    if (rc != Z_OK) {
      out->clear();
      return false;
    }
    out->resize(bound);
    return true;
  } catch (const std::bad_alloc&) {
    out->clear();
    return false;
  }
}

InflateResult ZlibInflateBounded(const uint8_t* data, size_t length, std::vector<uint8_t>* out) {
  return ZlibInflateLimited(data, length, kMaxInflateRatio * static_cast<uint64_t>(length), out);
}

InflateResult ZlibInflateLimited(const uint8_t* data, size_t length, uint64_t max_output, std::vector<uint8_t>* out) {
  if (!out || !data || length == 0) return InflateResult::kBadData;
  const uint64_t cap = max_output;
  out->clear();
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return InflateResult::kNoMemory;
  struct End {
    z_stream* s;
    ~End() { inflateEnd(s); }
  } end{&zs};

  const uInt kChunk = 1u << 30;  // avail_in and avail_out are 32-bit
  const uint8_t* in = data;
  size_t in_left = length;
  uint64_t produced = 0;
  try {
    out->resize(static_cast<size_t>(std::min<uint64_t>(cap, uint64_t(length) * 4 + 64)));
  } catch (const std::bad_alloc&) {
    return InflateResult::kNoMemory;
  }
  for (;;) {
    if (zs.avail_in == 0 && in_left > 0) {
      zs.next_in = const_cast<Bytef*>(in);
      zs.avail_in = static_cast<uInt>(std::min<size_t>(in_left, kChunk));
      in += zs.avail_in;
      in_left -= zs.avail_in;
    }
    uint8_t scratch = 0;
    if (produced == cap) {
      // Full to the bound: the stream must end without another byte.
      zs.next_out = &scratch;
      zs.avail_out = 1;
    } else {
      if (produced == out->size()) {
        uint64_t grown = std::min<uint64_t>(cap, std::max<uint64_t>(produced * 2, 64));
        if (grown > std::numeric_limits<size_t>::max() / 2) return InflateResult::kNoMemory;
        try {
          out->resize(static_cast<size_t>(grown));
        } catch (const std::bad_alloc&) {
          return InflateResult::kNoMemory;
        }
      }
      zs.next_out = out->data() + produced;
      zs.avail_out = static_cast<uInt>(std::min<uint64_t>(out->size() - produced, kChunk));
    }
    uInt before = zs.avail_out;
    int rc = inflate(&zs, Z_NO_FLUSH);
    uInt wrote = before - zs.avail_out;
    if (produced == cap) {
      if (wrote > 0) return InflateResult::kTooLarge;
    } else {
      produced += wrote;
    }
    if (rc == Z_STREAM_END) break;
    if (rc == Z_MEM_ERROR) return InflateResult::kNoMemory;
    if (rc == Z_BUF_ERROR && zs.avail_in == 0 && in_left == 0) return InflateResult::kBadData;  // cut short
    if (rc != Z_OK && rc != Z_BUF_ERROR) return InflateResult::kBadData;
  }
  out->resize(static_cast<size_t>(produced));
  return InflateResult::kOk;
}

}  // namespace varnak::engine
