// Builds small zip images in memory for the tests of the zip readers.
#ifndef VARNAK_UI_CORE_ZIP_TESTDATA_H
#define VARNAK_UI_CORE_ZIP_TESTDATA_H

#include <cstdint>
#include <string>
#include <vector>

namespace varnak::ui::test {

struct ZipItem {
  std::string name;
  std::string data;
  uint16_t method = 0;
  uint16_t flags = 0;
};

// Local headers only, followed by a central directory stub the reader ignores.
inline std::vector<uint8_t> MakeZip(const std::vector<ZipItem>& items) {
  std::vector<uint8_t> z;
  auto put16 = [&](uint32_t v) {
    z.push_back(static_cast<uint8_t>(v));
    z.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto put32 = [&](uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  for (const ZipItem& it : items) {
    put32(0x04034B50);
    put16(10);
    put16(it.flags);
    put16(it.method);
    put16(0);
    put16(0);
    put32(0);  // crc, unchecked
    put32(static_cast<uint32_t>(it.data.size()));
    put32(static_cast<uint32_t>(it.data.size()));
    put16(static_cast<uint32_t>(it.name.size()));
    put16(0);
    z.insert(z.end(), it.name.begin(), it.name.end());
    z.insert(z.end(), it.data.begin(), it.data.end());
  }
  put32(0x02014B50);
  return z;
}

}  // namespace varnak::ui::test

#endif
