// The skin package's byte formats: hashed element names, the 60-byte info
// record, the "." index stream, and stored content (LZW, RC4, MD5 digest).
// Records are read and written byte by byte, never as structs, so the
// unaligned times at offsets 28, 36 and 44 are the same in every build.
// Platform-free.
#ifndef VARNAK_UI_CORE_PACKAGE_FORMAT_H
#define VARNAK_UI_CORE_PACKAGE_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varnak::ui {

constexpr size_t kInfoRecordSize = 60;
constexpr size_t kMaxIndexNameBytes = 520;  // 259 characters and the terminator

struct InfoRecord {
  uint8_t digest[16] = {};
  uint32_t enciphered = 0;
  uint32_t compressed = 0;
  uint32_t attributes = 0;
  uint64_t creation_time = 0;  // FILETIME values, low part first on disk
  uint64_t access_time = 0;
  uint64_t write_time = 0;
  uint64_t file_size = 0;  // stored high 32 bits first

  void Read(const uint8_t* bytes);  // kInfoRecordSize bytes
  void Write(uint8_t* bytes) const;
};

// "%016I64X%016I64X" of an MD5 digest: each 8-byte half printed as a
// little-endian number, so its bytes appear reversed.
std::string DigestText(const uint8_t digest[16]);

// The 16-unit element name of a logical name: the digest text of the name's
// UTF-16LE bytes, two characters packed into each code unit.
std::u16string HashedElementName(const std::u16string& logical_name);

struct IndexEntry {
  InfoRecord info;
  std::u16string name;
};

enum class IndexStatus { kOk, kCorrupt };

// Parses a "." stream. Name lengths must be even and 2..520; a truncated
// entry is corrupt, an empty stream an empty index.
IndexStatus ParseIndex(const uint8_t* bytes, size_t size, std::vector<IndexEntry>* entries);
void SerializeIndex(const std::vector<IndexEntry>& entries, std::vector<uint8_t>* out);

// Content as stored: compressed if asked, digested, enciphered when the
// password is not empty. Sets the record's digest and flags. False for
// content of 4 GiB or more.
bool EncodeContent(const uint8_t* bytes, size_t size, const std::string& password, bool compress,
                   InfoRecord* info, std::vector<uint8_t>* stored);

enum class DecodeStatus { kOk, kWrongPassword, kCorrupt };

// Reverses EncodeContent in place. A wrong password shows as a digest mismatch.
DecodeStatus DecodeContent(std::vector<uint8_t>* content, const InfoRecord& info, const std::string& password);

// True when the record says the stored bytes must be decoded.
inline bool NeedsDecoding(const InfoRecord& info) { return info.enciphered != 0 || info.compressed != 0; }

}  // namespace varnak::ui

#endif
