// LZW coder of package content (see lzw.h).
//
// Width rule, shared by both sides: the encoder widens when its next free code
// passes 512, 1,024 and 2,048; the decoder, which adds each entry one code
// later, widens when its next code reaches those values. When the table is
// full the encoder emits the pending code, the current byte as a literal and
// a clear, and starts over with the next byte; the decoder adds no entry at
// 4,096 and keeps 12 bits until a clear, so it also reads streams that clear
// first and restart with the current byte.
#include "ui/core/lzw.h"

#include <cstring>

namespace varnak::ui {
namespace {

constexpr int kClear = 256;
constexpr int kEnd = 257;
constexpr int kFirstFree = 258;
constexpr int kMaxCodes = 4096;
constexpr int kMaxWidth = 12;

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>* out) : out_(out) {}
  void Put(int code, int width) {
    acc_ |= static_cast<uint32_t>(code) << bits_;
    bits_ += width;
    while (bits_ >= 8) {
      out_->push_back(static_cast<uint8_t>(acc_ & 0xFF));
      acc_ >>= 8;
      bits_ -= 8;
    }
  }
  void Flush() {
    if (bits_ > 0) out_->push_back(static_cast<uint8_t>(acc_ & 0xFF));
    acc_ = 0;
    bits_ = 0;
  }

 private:
  std::vector<uint8_t>* out_;
  uint32_t acc_ = 0;
  int bits_ = 0;
};

// (prefix code, byte) -> code, open addressing; entries of older generations
// count as empty, so a clear costs nothing.
class CodeTable {
 public:
  CodeTable() : keys_(kSlots, 0), codes_(kSlots, 0), gens_(kSlots, 0) {}
  void Clear() { ++gen_; }
  int Find(int prefix, uint8_t byte) const {
    const uint32_t key = Key(prefix, byte);
    for (uint32_t s = Hash(key);; s = (s + 1) & (kSlots - 1)) {
      if (gens_[s] != gen_) return -1;
      if (keys_[s] == key) return codes_[s];
    }
  }
  void Add(int prefix, uint8_t byte, int code) {
    const uint32_t key = Key(prefix, byte);
    uint32_t s = Hash(key);
    while (gens_[s] == gen_) s = (s + 1) & (kSlots - 1);
    gens_[s] = gen_;
    keys_[s] = key;
    codes_[s] = static_cast<uint16_t>(code);
  }

 private:
  static constexpr uint32_t kSlots = 16384;  // 4,096 entries at most: load below 1/4
  static uint32_t Key(int prefix, uint8_t byte) { return static_cast<uint32_t>(prefix) << 8 | byte; }
  static uint32_t Hash(uint32_t key) { return (key * 2654435761u) >> 18; }
  std::vector<uint32_t> keys_;
  std::vector<uint16_t> codes_;
  std::vector<uint32_t> gens_;
  uint32_t gen_ = 1;
};

void PutLe32(std::vector<uint8_t>* out, uint32_t v) {
  for (int k = 0; k < 4; ++k) out->push_back(static_cast<uint8_t>(v >> (8 * k)));
}

}  // namespace

bool LzwCompress(const uint8_t* input, size_t size, std::vector<uint8_t>* output) {
  output->clear();
  if (size / 2 > 0x7FFFFFFFu) return false;  // 4 GiB or more, written so 32-bit builds see no tautology
  output->reserve(size / 2 + 16);
  PutLe32(output, static_cast<uint32_t>(size));
  output->push_back(8);
  BitWriter bits(output);
  CodeTable table;
  int width = 9;
  int next = kFirstFree;
  bits.Put(kClear, width);
  auto emit = [&](int code) {
    bits.Put(code, width);
  };
  auto grow = [&]() {
    if (next > (1 << width) && width < kMaxWidth) ++width;
  };
  int pending = -1;
  for (size_t k = 0; k < size; ++k) {
    const uint8_t c = input[k];
    if (pending < 0) {
      pending = c;
      continue;
    }
    const int found = table.Find(pending, c);
    if (found >= 0) {
      pending = found;
      continue;
    }
    emit(pending);
    if (next < kMaxCodes) {
      table.Add(pending, c, next++);
      grow();
      pending = c;
    } else {
      // full table: the current byte as a literal, a clear, and a fresh start
      emit(c);
      emit(kClear);
      table.Clear();
      width = 9;
      next = kFirstFree;
      pending = -1;
    }
  }
  if (pending >= 0) {
    emit(pending);
    // the decoder adds an entry after this code and may widen before the end code
    if (next < kMaxCodes) {
      ++next;
      grow();
    }
  }
  emit(kEnd);
  bits.Flush();
  return true;
}

bool LzwDecompress(const uint8_t* input, size_t size, std::vector<uint8_t>* output) {
  output->clear();
  if (size < 5 || input[4] != 8) return false;
  const uint32_t declared = static_cast<uint32_t>(input[0]) | static_cast<uint32_t>(input[1]) << 8 |
                            static_cast<uint32_t>(input[2]) << 16 | static_cast<uint32_t>(input[3]) << 24;
  // no code yields more than 4,096 bytes: a larger claim is a lie
  const uint64_t max_codes = (static_cast<uint64_t>(size - 5) * 8) / 9;
  if (declared > max_codes * kMaxCodes) return false;
  output->reserve(declared);

  uint16_t prefix[kMaxCodes];
  uint8_t suffix[kMaxCodes];
  uint8_t first[kMaxCodes];  // first byte of each code's string
  uint16_t length[kMaxCodes];
  for (int k = 0; k < 256; ++k) {
    prefix[k] = 0;
    suffix[k] = static_cast<uint8_t>(k);
    first[k] = static_cast<uint8_t>(k);
    length[k] = 1;
  }
  uint8_t stack[kMaxCodes];

  size_t pos = 5;
  uint32_t acc = 0;
  int bits = 0;
  int width = 9;
  int next = kFirstFree;
  int prev = -1;
  for (;;) {
    while (bits < width && pos < size) {
      acc |= static_cast<uint32_t>(input[pos++]) << bits;
      bits += 8;
    }
    if (bits < width) break;  // stream ended without an end code
    const int code = static_cast<int>(acc & ((1u << width) - 1));
    acc >>= width;
    bits -= width;
    if (code == kClear) {
      width = 9;
      next = kFirstFree;
      prev = -1;
      continue;
    }
    if (code == kEnd) return output->size() == declared;
    int string_code;
    uint8_t extra = 0;
    bool kwkwk = false;
    if (prev < 0) {
      if (code > 255) return false;  // after a clear, a literal comes first
      string_code = code;
    } else if (code < next && !(code >= kClear && code < kFirstFree)) {
      string_code = code;
    } else if (code == next && next < kMaxCodes) {
      string_code = prev;  // the string being defined: prev + first byte of prev
      extra = first[prev];
      kwkwk = true;
    } else {
      return false;
    }
    const size_t len = length[string_code] + (kwkwk ? 1u : 0u);
    if (output->size() + len > declared) return false;
    size_t n = 0;
    if (kwkwk) stack[n++] = extra;
    for (int c = string_code;; c = prefix[c]) {
      stack[n++] = suffix[c];
      if (c < 256) break;
    }
    for (size_t k = n; k > 0; --k) output->push_back(stack[k - 1]);
    if (prev >= 0 && next < kMaxCodes) {
      prefix[next] = static_cast<uint16_t>(prev);
      suffix[next] = kwkwk ? extra : first[string_code];
      first[next] = first[prev];
      length[next] = static_cast<uint16_t>(length[prev] + 1);
      ++next;
      if (next == (1 << width) && width < kMaxWidth) ++width;
    }
    prev = kwkwk ? next - 1 : code;
  }
  return false;
}

}  // namespace varnak::ui
