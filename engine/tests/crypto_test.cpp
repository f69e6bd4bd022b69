// Cipher, digests, compression and regular expressions through the real DLL.
#include <gtest/gtest.h>

#include <zlib.h>

#include "common/md5.h"
#include "engine/tests/engine_test_util.h"

namespace varnak::test {
namespace {

// Pages with a given protection, released on destruction.
struct Pages {
  explicit Pages(DWORD protect) { p = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, protect); }
  ~Pages() { VirtualFree(p, 0, MEM_RELEASE); }
  void* p;
};

TEST(EngineCrypto, AesLengthRulesAndRoundTrip) {
  auto enc = ORLIMB(AESEncode);
  auto dec = ORLIMB(AESDecode);
  const char key[] = "varnak";
  const char data[21] = "twenty bytes of data";
  unsigned char out[64] = {};
  int len = 32;
  ASSERT_EQ(enc(key, 6, data, 20, out, &len), 1);
  EXPECT_EQ(len, 32);  // unchanged on success
  unsigned char back[32];
  int back_len = 32;
  ASSERT_EQ(dec(key, 6, out, 32, back, &back_len), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 32), std::string(data, 20) + std::string(12, '\0'));

  DebugCapture capture;
  len = 16;
  EXPECT_EQ(enc(key, 6, data, 20, out, &len), 0);
  EXPECT_EQ(len, 32);  // the needed length
  len = 4;
  EXPECT_EQ(enc(key, 6, data, 5, out, &len), 0);
  EXPECT_EQ(len, 16);
  EXPECT_TRUE(capture.Contains("AESEncode:尝试加密AES时发现缓冲区长度不足!"));
  len = 20;  // not a multiple of 16
  EXPECT_EQ(enc(key, 6, data, 20, out, &len), 0);
  EXPECT_EQ(len, 20);
  back_len = 16;
  EXPECT_EQ(dec(key, 6, out, 32, back, &back_len), 0);
  EXPECT_EQ(back_len, 32);
  back_len = 32;
  EXPECT_EQ(dec(key, 6, out, 20, back, &back_len), 0);  // not whole blocks

  // same key bytes, same block; different key, different block
  unsigned char a[16], b[16], c[16];
  int l16 = 16;
  enc("k1", 2, "block", 5, a, &l16);
  enc("k1", 2, "block", 5, b, &l16);
  enc("k22", 3, "block", 5, c, &l16);
  EXPECT_EQ(memcmp(a, b, 16), 0);
  EXPECT_NE(memcmp(a, c, 16), 0);
}

TEST(EngineCrypto, AesRefusesBadPointersWithoutCrashing) {
  auto enc = ORLIMB(AESEncode);
  auto dec = ORLIMB(AESDecode);
  Pages none(PAGE_NOACCESS), read_only(PAGE_READONLY);
  unsigned char out[32];
  int len = 32;
  DebugCapture capture;
  EXPECT_EQ(enc(none.p, 4, "data", 4, out, &len), 0);
  EXPECT_TRUE(capture.Contains("AESEncode:尝试加密AES时发现key"));
  EXPECT_EQ(enc("k", 1, none.p, 16, out, &len), 0);
  EXPECT_EQ(enc("k", 1, nullptr, 16, out, &len), 0);
  EXPECT_EQ(enc("k", 1, "data", 4, read_only.p, &len), 0);
  EXPECT_EQ(enc("k", 1, "data", 4, nullptr, &len), 0);
  EXPECT_EQ(enc("k", 1, "data", 4, out, nullptr), 0);
  EXPECT_EQ(enc("k", -1, "data", 4, out, &len), 0);
  EXPECT_EQ(enc("k", 1, "data", -4, out, &len), 0);
  EXPECT_EQ(dec(none.p, 4, out, 16, out, &len), 0);
  EXPECT_TRUE(capture.Contains("AESEncode:尝试解开AES"));  // the decoder's key line
  EXPECT_EQ(dec("k", 1, out, 16, read_only.p, &len), 0);
  EXPECT_EQ(len, 32);
}

TEST(EngineCrypto, Md5OfMemoryAndFiles) {
  char digest[33] = {};
  ASSERT_EQ(ORLIMB(GetMd5FromMemoryA)("abc", 3, digest), 1);
  EXPECT_STREQ(digest, "900150983cd24fb0d6963f7d28e17f72");
  ASSERT_EQ(ORLIMB(GetMd5FromMemoryA)(nullptr, 0, digest), 1);
  EXPECT_STREQ(digest, "d41d8cd98f00b204e9800998ecf8427e");
  Pages none(PAGE_NOACCESS);
  strcpy(digest, "keep");
  EXPECT_EQ(ORLIMB(GetMd5FromMemoryA)(nullptr, 3, digest), 0);
  EXPECT_EQ(ORLIMB(GetMd5FromMemoryA)(none.p, 3, digest), 0);
  EXPECT_EQ(ORLIMB(GetMd5FromMemoryA)("abc", 3, nullptr), 0);
  EXPECT_STREQ(digest, "keep");

  TempFolder dir;
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes += char(i * 131 % 251);
  ASSERT_TRUE(dir.Write("data.bin", bytes));
  ASSERT_EQ(ORLIMB(GetMd5A)(dir.File("data.bin").c_str(), digest), 1);
  EXPECT_EQ(std::string(digest), Md5Hex(bytes.data(), bytes.size()));
  DebugCapture capture;
  EXPECT_EQ(ORLIMB(GetMd5A)(dir.File("missing.bin").c_str(), digest), 0);
  EXPECT_TRUE(capture.Contains("CreateFileA error!"));
  EXPECT_EQ(ORLIMB(GetMd5A)(nullptr, digest), 0);
}

std::string Read(const std::string& path) {
  std::string s;
  ReadFileBytes(path, &s);
  return s;
}

TEST(EngineCrypto, ZipWritesAZlibStreamAndUnZipRestoresIt) {
  TempFolder dir;
  const std::string plain = Read(Fixture("plain.txt"));
  ASSERT_FALSE(plain.empty());
  ASSERT_EQ(ORLIMB(Zip)(Fixture("plain.txt").c_str(), dir.File("p.z").c_str()), 1);
  const std::string packed = Read(dir.File("p.z"));
  std::string check(plain.size(), '\0');
  uLongf n = check.size();
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(&check[0]), &n, reinterpret_cast<const Bytef*>(packed.data()),
                       packed.size()),
            Z_OK);
  EXPECT_EQ(check, plain);
  ASSERT_EQ(ORLIMB(UnZip)(dir.File("p.z").c_str(), dir.File("p.txt").c_str()), 1);
  EXPECT_EQ(Read(dir.File("p.txt")), plain);
  // a stream made by another zlib user (Python) reads the same
  ASSERT_EQ(ORLIMB(UnZip)(Fixture("packed.z").c_str(), dir.File("q.txt").c_str()), 1);
  EXPECT_EQ(Read(dir.File("q.txt")), plain);
  // source and target may be the same file
  ASSERT_TRUE(dir.Write("same.txt", plain));
  ASSERT_EQ(ORLIMB(Zip)(dir.File("same.txt").c_str(), dir.File("same.txt").c_str()), 1);
  EXPECT_EQ(Read(dir.File("same.txt")), packed);
}

TEST(EngineCrypto, ZipAndUnZipFailuresLeaveNoTarget) {
  TempFolder dir;
  ASSERT_TRUE(dir.Write("empty.txt", ""));
  ASSERT_TRUE(dir.Write("old.txt", "old content"));
  const struct {
    bool unzip;
    std::string source;
  } cases[] = {
      {true, Fixture("plain.txt")},    // not a zlib stream
      {true, Fixture("dense.z")},      // inflates to more than 10 times its size
      {true, dir.File("empty.txt")},   // empty source
      {false, dir.File("empty.txt")},
      {true, dir.File("missing.z")},  // cannot be opened
      {false, dir.File("missing.txt")},
  };
  for (const auto& c : cases) {
    const std::string target = dir.File("t.out");
    auto f = c.unzip ? ORLIMB(UnZip) : ORLIMB(Zip);
    EXPECT_EQ(f(c.source.c_str(), target.c_str()), 0) << c.source;
    EXPECT_EQ(GetFileAttributesA(target.c_str()), INVALID_FILE_ATTRIBUTES) << c.source;
    // an existing target is kept as it was
    EXPECT_EQ(f(c.source.c_str(), dir.File("old.txt").c_str()), 0);
    EXPECT_EQ(Read(dir.File("old.txt")), "old content");
  }
  EXPECT_EQ(ORLIMB(Zip)(nullptr, dir.File("x").c_str()), 0);
  EXPECT_EQ(ORLIMB(UnZip)(Fixture("packed.z").c_str(), nullptr), 0);
  // no temporary files are left behind
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(dir.File("*.tmp").c_str(), &fd);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

TEST(EngineCrypto, CheckRegxSearchesTheWholeText) {
  auto regx = ORLIMB(CheckRegx);
  const std::string long_text = std::string(2000, 'a') + "end";
  const struct {
    std::string text, pattern;
    int want;
  } cases[] = {
      {"abc123", "[0-9]+", 1},
      {"abc123", "^[0-9]+$", 0},
      {"Setup_ABC.exe", "abc", 0},  // case-sensitive
      {"abc", "(open", 0},          // an invalid pattern gives 0
      {long_text, "end$", 1},       // found past any 1,023-byte cut
      {long_text, "a$", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(regx(c.text.c_str(), c.pattern.c_str()), c.want) << c.pattern;
  EXPECT_EQ(regx(nullptr, ""), 1);  // null counts as empty; the empty pattern matches
  EXPECT_EQ(regx("abc", nullptr), 1);
}

}  // namespace
}  // namespace varnak::test
