// Fuzz target: the package decoder. The first byte chooses the part: the "."
// index parser, or stored content with its flags and password, whose digest
// is made to match so that the LZW decoder is reached.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ui/core/lzw.h"
#include "ui/core/md5_rc4.h"
#include "ui/core/package_format.h"

using namespace varnak::ui;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  std::vector<uint8_t> body(data + 1, data + size);
  if (mode % 3 == 0) {
    std::vector<IndexEntry> entries;
    if (ParseIndex(body.data(), body.size(), &entries) == IndexStatus::kOk) {
      std::vector<uint8_t> again;
      SerializeIndex(entries, &again);
      for (auto& e : entries) HashedElementName(e.name);
    }
  } else if (mode % 3 == 1) {
    InfoRecord info;
    info.compressed = 1;
    const Md5Digest d = Md5(body.data(), body.size());
    std::memcpy(info.digest, d.bytes, 16);
    DecodeContent(&body, info, "");
  } else {
    InfoRecord info;
    info.enciphered = 1;
    info.compressed = mode & 4;
    std::memset(info.digest, 0, 16);
    DecodeContent(&body, info, "secret");
    std::vector<uint8_t> out;
    LzwDecompress(data + 1, size - 1, &out);
  }
  return 0;
}
