// Byte formats of the skin package (see package_format.h).
#include "ui/core/package_format.h"

#include <cstring>

#include "ui/core/lzw.h"
#include "ui/core/md5_rc4.h"

namespace varnak::ui {
namespace {

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
uint64_t Get64(const uint8_t* p) { return Get32(p) | static_cast<uint64_t>(Get32(p + 4)) << 32; }
void Put32(uint8_t* p, uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}
void Put64(uint8_t* p, uint64_t v) {
  Put32(p, static_cast<uint32_t>(v));
  Put32(p + 4, static_cast<uint32_t>(v >> 32));
}

void CipherWithPassword(const std::string& password, uint8_t* data, size_t size) {
  const Md5Digest key = Md5(password.data(), password.size());
  Rc4(key.bytes, sizeof key.bytes, data, size);
}

}  // namespace

void InfoRecord::Read(const uint8_t* b) {
  std::memcpy(digest, b, 16);
  enciphered = Get32(b + 16);
  compressed = Get32(b + 20);
  attributes = Get32(b + 24);
  creation_time = Get64(b + 28);
  access_time = Get64(b + 36);
  write_time = Get64(b + 44);
  file_size = static_cast<uint64_t>(Get32(b + 52)) << 32 | Get32(b + 56);
}

void InfoRecord::Write(uint8_t* b) const {
  std::memcpy(b, digest, 16);
  Put32(b + 16, enciphered);
  Put32(b + 20, compressed);
  Put32(b + 24, attributes);
  Put64(b + 28, creation_time);
  Put64(b + 36, access_time);
  Put64(b + 44, write_time);
  Put32(b + 52, static_cast<uint32_t>(file_size >> 32));
  Put32(b + 56, static_cast<uint32_t>(file_size));
}

std::string DigestText(const uint8_t digest[16]) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (int half = 0; half < 2; ++half)
    for (int k = 7; k >= 0; --k) {
      const uint8_t b = digest[half * 8 + k];
      text += kHex[b >> 4];
      text += kHex[b & 15];
    }
  return text;
}

std::u16string HashedElementName(const std::u16string& logical_name) {
  std::vector<uint8_t> le;
  le.reserve(logical_name.size() * 2);
  for (char16_t c : logical_name) {
    le.push_back(static_cast<uint8_t>(c & 0xFF));
    le.push_back(static_cast<uint8_t>(c >> 8));
  }
  const Md5Digest d = Md5(le.data(), le.size());
  const std::string text = DigestText(d.bytes);
  std::u16string name;
  for (size_t i = 0; i < 16; ++i)
    name += static_cast<char16_t>(static_cast<uint8_t>(text[2 * i]) + 256 * static_cast<uint8_t>(text[2 * i + 1]));
  return name;
}

IndexStatus ParseIndex(const uint8_t* bytes, size_t size, std::vector<IndexEntry>* entries) {
  entries->clear();
  size_t off = 0;
  while (off < size) {
    if (size - off < kInfoRecordSize + 2) return IndexStatus::kCorrupt;
    IndexEntry e;
    e.info.Read(bytes + off);
    off += kInfoRecordSize;
    const size_t len = static_cast<size_t>(bytes[off] | bytes[off + 1] << 8);
    off += 2;
    if (len < 2 || len > kMaxIndexNameBytes || len % 2 != 0 || size - off < len) return IndexStatus::kCorrupt;
    // the terminator is implied: take L/2 - 1 units whatever the last unit holds
    for (size_t k = 0; k + 2 < len; k += 2)
      e.name += static_cast<char16_t>(bytes[off + k] | bytes[off + k + 1] << 8);
    off += len;
    entries->push_back(std::move(e));
  }
  return IndexStatus::kOk;
}

void SerializeIndex(const std::vector<IndexEntry>& entries, std::vector<uint8_t>* out) {
  out->clear();
  for (const IndexEntry& e : entries) {
    uint8_t record[kInfoRecordSize];
    e.info.Write(record);
    out->insert(out->end(), record, record + kInfoRecordSize);
    const size_t len = (e.name.size() + 1) * 2;
    out->push_back(static_cast<uint8_t>(len & 0xFF));
    out->push_back(static_cast<uint8_t>(len >> 8));
    for (char16_t c : e.name) {
      out->push_back(static_cast<uint8_t>(c & 0xFF));
      out->push_back(static_cast<uint8_t>(c >> 8));
    }
    out->push_back(0);
    out->push_back(0);
  }
}

bool EncodeContent(const uint8_t* bytes, size_t size, const std::string& password, bool compress,
                   InfoRecord* info, std::vector<uint8_t>* stored) {
  if (size / 2 > 0x7FFFFFFFu) return false;  // 4 GiB or more, written so 32-bit builds see no tautology
  info->enciphered = 0;
  info->compressed = 0;
  if (!compress && password.empty()) {
    stored->assign(bytes, bytes + size);
    return true;
  }
  if (compress) {
    if (!LzwCompress(bytes, size, stored)) return false;
    info->compressed = 1;
  } else {
    stored->assign(bytes, bytes + size);
  }
  const Md5Digest d = Md5(stored->data(), stored->size());
  std::memcpy(info->digest, d.bytes, 16);
  if (!password.empty()) {
    CipherWithPassword(password, stored->data(), stored->size());
    info->enciphered = 1;
  }
  return true;
}

DecodeStatus DecodeContent(std::vector<uint8_t>* content, const InfoRecord& info, const std::string& password) {
  if (content->empty() || !NeedsDecoding(info)) return DecodeStatus::kOk;
  if (info.enciphered != 0) {
    if (password.empty()) return DecodeStatus::kWrongPassword;
    CipherWithPassword(password, content->data(), content->size());
  }
  const Md5Digest d = Md5(content->data(), content->size());
  if (std::memcmp(d.bytes, info.digest, 16) != 0) return DecodeStatus::kWrongPassword;
  if (info.compressed != 0) {
    std::vector<uint8_t> plain;
    if (!LzwDecompress(content->data(), content->size(), &plain)) return DecodeStatus::kCorrupt;
    content->swap(plain);
  }
  return DecodeStatus::kOk;
}

}  // namespace varnak::ui
