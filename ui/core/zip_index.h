// The walk over a zip archive's local file headers that indexes its stored
// entries; the central directory is never read. Every read is bounded by the
// image: a truncated or crafted archive fails, it never reads past the end.
// Platform-free.
#ifndef VARNAK_UI_CORE_ZIP_INDEX_H
#define VARNAK_UI_CORE_ZIP_INDEX_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varnak::ui {

struct ZipRawEntry {
  std::string name;          // the name bytes as stored (ANSI code page)
  uint64_t header_offset = 0;
  uint64_t total_length = 0;  // header, name, extra field and data
  uint64_t data_size = 0;
};

enum class ZipWalkResult {
  kOk,           // walked to the end or to a non-header
  kUnsupported,  // a compressed entry, or flag bit 2 or 3: the archive is unusable
  kCorrupt,      // a header or its data runs past the image
};

// Indexes entries with data and a name of 1 to 2,599 bytes; others are skipped.
ZipWalkResult WalkZipLocalHeaders(const uint8_t* image, uint64_t size, std::vector<ZipRawEntry>* entries);

// Re-reads the local header at header_offset and finds its data; false when
// it no longer lies inside the image.
bool LocateZipData(const uint8_t* image, uint64_t size, uint64_t header_offset, uint64_t* data_offset,
                   uint64_t* data_size);

}  // namespace varnak::ui

#endif
