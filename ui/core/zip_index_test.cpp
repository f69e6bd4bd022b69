// Zip header walk: what it indexes, what makes the archive unusable, and
// that crafted sizes never lead outside the image.
#include "ui/core/zip_index.h"

#include <gtest/gtest.h>

#include "ui/core/zip_testdata.h"

namespace varnak::ui {
namespace {

using test::MakeZip;

TEST(ZipIndex, IndexesStoredEntriesAndSkipsEmptyOnes) {
  auto z = MakeZip({{"xmls/", ""}, {"xmls/Default.xml", "<Window/>"}, {"empty.txt", ""}, {"a.png", "PNG"}});
  std::vector<ZipRawEntry> e;
  ASSERT_EQ(WalkZipLocalHeaders(z.data(), z.size(), &e), ZipWalkResult::kOk);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].name, "xmls/Default.xml");
  EXPECT_EQ(e[0].data_size, 9u);
  EXPECT_EQ(e[1].name, "a.png");
  uint64_t off = 0, size = 0;
  ASSERT_TRUE(LocateZipData(z.data(), z.size(), e[1].header_offset, &off, &size));
  EXPECT_EQ(std::string(z.begin() + off, z.begin() + off + size), "PNG");
}

TEST(ZipIndex, UnusableArchives) {
  std::vector<ZipRawEntry> e;
  for (auto items : {std::vector<test::ZipItem>{{"a", "x"}, {"b", "y", 8, 0}},
                     std::vector<test::ZipItem>{{"a", "x", 0, 4}}, std::vector<test::ZipItem>{{"a", "x", 0, 8}}}) {
    auto z = MakeZip(items);
    EXPECT_EQ(WalkZipLocalHeaders(z.data(), z.size(), &e), ZipWalkResult::kUnsupported);
  }
}

TEST(ZipIndex, TruncatedAndCraftedHeadersFail) {
  auto z = MakeZip({{"a.txt", "hello"}, {"b.txt", "world"}});
  const size_t second = 30 + 5 + 5;
  std::vector<ZipRawEntry> e;
  // cut inside the second header, inside its name, inside its data
  for (size_t cut : {second + 10, second + 32, second + 37}) {
    EXPECT_EQ(WalkZipLocalHeaders(z.data(), cut, &e), ZipWalkResult::kCorrupt) << cut;
  }
  // a data size of 0xFFFFFFFF
  auto huge = z;
  for (int k = 18; k < 22; ++k) huge[k] = 0xFF;
  EXPECT_EQ(WalkZipLocalHeaders(huge.data(), huge.size(), &e), ZipWalkResult::kCorrupt);
  // a name running past the end
  auto name = z;
  name[26] = 0xFF;
  name[27] = 0xFF;
  EXPECT_EQ(WalkZipLocalHeaders(name.data(), name.size(), &e), ZipWalkResult::kCorrupt);
  // anything that is not a header stops the walk with success
  std::vector<uint8_t> junk = {'P', 'K', 1, 2, 3};
  EXPECT_EQ(WalkZipLocalHeaders(junk.data(), junk.size(), &e), ZipWalkResult::kOk);
  EXPECT_TRUE(e.empty());
  uint64_t off, size;
  EXPECT_FALSE(LocateZipData(z.data(), z.size(), z.size() - 2, &off, &size));
  EXPECT_FALSE(LocateZipData(z.data(), 20, 0, &off, &size));
}

}  // namespace
}  // namespace varnak::ui
