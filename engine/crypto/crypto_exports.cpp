// Cipher, digest, compression and regular-expression exports: argument
// checks and file handling around the platform-free core.
#include <windows.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "common/gbk_text.h"
#include "common/win_handles.h"
#include "engine/core/aes128.h"
#include "common/md5.h"
#include "engine/core/path_text.h"
#include "engine/core/regex_check.h"
#include "engine/core/zlib_frame.h"
#include "engine/frame/engine.h"
#include "engine/frame/file_io.h"

namespace varnak::engine {
namespace {

void WriteDigest(char* out, const uint8_t digest[16]) {
  std::string hex = DigestHex(digest);
  memcpy(out, hex.c_str(), hex.size() + 1);
}

int AesNeeded(int data_length) { return data_length <= 16 ? 16 : static_cast<int>(AesPaddedLength(size_t(data_length))); }

}  // namespace
}  // namespace varnak::engine

using namespace varnak;
using namespace varnak::engine;

ORLIMB_EXPORT int ORLIMB_CALL AESEncode(const void* key, int key_length, const void* data, int data_length, void* out,
                                        int* out_length) {
  return Guarded(0, [&] {
    if (key_length < 0 || data_length < 0 || !out_length || !IsWritable(out_length, sizeof *out_length)) return 0;
    if (!IsReadable(key, size_t(key_length))) {
      LogA("AESEncode:尝试加密AES时发现key非法(key指针无法访问)");
      return 0;
    }
    if (!data || !IsReadable(data, size_t(data_length))) {
      LogA("AESEncode:尝试加密AES时发现数据非法(空指针或指针无法访问)");
      return 0;
    }
    const int capacity = *out_length;
    if (capacity < data_length) {
      *out_length = AesNeeded(data_length);
      LogA("AESEncode:尝试加密AES时发现缓冲区长度不足!");
      return 0;
    }
    if (!out || capacity % 16 != 0 || capacity < 16 || !IsWritable(out, size_t(capacity))) {
      LogA("AESEncode:尝试加密AES时发现传出指针非法(长度不是16的倍数或指针无法访问)");
      return 0;
    }
    AesEcbEncrypt(key_length ? key : "", size_t(key_length), data, size_t(data_length), out);
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL AESDecode(const void* key, int key_length, const void* data, int data_length, void* out,
                                        int* out_length) {
  return Guarded(0, [&] {
    if (key_length < 0 || data_length < 0 || !out_length || !IsWritable(out_length, sizeof *out_length)) return 0;
    if (!IsReadable(key, size_t(key_length))) {
      LogA("AESEncode:尝试解开AES时发现key非法(key指针无法访问)");
      return 0;
    }
    if (!data || !IsReadable(data, size_t(data_length)) || data_length % 16 != 0 || data_length < 16) {
      LogA("AESDecode:尝试解开AES时发现数据非法(空指针或指针无法访问 或待解密数据长度不是16的倍数)");
      return 0;
    }
    const int capacity = *out_length;
    if (capacity < data_length) {
      *out_length = data_length;
      return 0;
    }
    if (!out || !IsWritable(out, size_t(capacity))) {
      LogA("AESDecode:尝试解开AES时发现传出指针非法(长度不是16的倍数或指针无法访问或比解密前数据长度短)");
      return 0;
    }
    AesEcbDecrypt(key_length ? key : "", size_t(key_length), data, size_t(data_length), out);
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL GetMd5A(const char* file, char* digest) {
  return Guarded(0, [&] {
    if (!digest || FittingLength(file, ORLIMB_PATH_SIZE) <= 0) return 0;
    unique_file handle(CreateFileA(NativeFilePath(file).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle) {
      LogW(L"CreateFileA error!");
      return 0;
    }
    // 64 KiB pieces: the digest is the same for any piece size
    std::vector<uint8_t> buffer(64 * 1024);
    Md5 md5;
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(handle.get(), buffer.data(), DWORD(buffer.size()), &got, nullptr)) {
        LogW(L"ReadFile error!");
        return 0;
      }
      if (got == 0) break;
      md5.Update(buffer.data(), got);
    }
    uint8_t d[16];
    md5.Final(d);
    WriteDigest(digest, d);
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL GetMd5FromMemoryA(const void* data, unsigned length, char* digest) {
  return Guarded(0, [&] {
    if (!digest || (length && !IsReadable(data, length))) return 0;
    Md5 md5;
    if (length) md5.Update(data, length);
    uint8_t d[16];
    md5.Final(d);
    WriteDigest(digest, d);
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL Zip(const char* source, const char* target) {
  return Guarded(0, [&] {
    std::vector<uint8_t> plain, packed;
    if (!ReadWholeFile(source, &plain)) return 0;
    if (!ZlibCompress(plain.data(), plain.size(), &packed)) return 0;
    return ReplaceFileWith(target, packed) ? 1 : 0;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL UnZip(const char* source, const char* target) {
  return Guarded(0, [&] {
    std::vector<uint8_t> packed, plain;
    if (!ReadWholeFile(source, &packed)) return 0;
    if (ZlibInflateBounded(packed.data(), packed.size(), &plain) != InflateResult::kOk) return 0;
    return ReplaceFileWith(target, plain) ? 1 : 0;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL CheckRegx(const char* text, const char* pattern) {
  return Guarded(0, [&] {
    const std::string t = text ? text : "";
    const std::string p = pattern ? pattern : "";
    // the log lines show at most 1,023 bytes; the search uses the whole texts
    char shown[1024];
    varnak::CutGbkText(shown, sizeof shown, t.c_str());
    LogA("[CheckRegx]Str:%s", shown);
    varnak::CutGbkText(shown, sizeof shown, p.c_str());
    LogA("[CheckRegx]RegxStr:%s", shown);
    return RegexSearch(t, p) == RegexResult::kMatch ? 1 : 0;
  });
}
