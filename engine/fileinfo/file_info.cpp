// File information: version resources, the signer of an embedded
// Authenticode signature and the check of its signed hash.
#include "engine/fileinfo/file_info.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "common/gbk_text.h"
#include "engine/frame/engine.h"

namespace varnak::engine {

namespace {

constexpr size_t kOutSize = ORLIMB_PATH_SIZE;

// The language key used when a file has no translation table: Chinese
// (Simplified), Unicode, as the log line says.
const char kDefaultLanguageKey[] = "080404b0";

std::string CutField(const char* text, size_t len) {
  size_t n = GbkPrefixLength(text, strnlen(text, len), kOutSize - 1);
  return std::string(text, n);
}

void WriteField(char* out, const std::string& value) { memcpy(out, value.c_str(), value.size() + 1); }

}  // namespace

bool ReadVersionString(const char* file, const char* key, std::string* value) {
  if (FittingLength(file, kOutSize) <= 0 || FittingLength(key, kOutSize) <= 0) return false;
  LogA("[ME_GetFileInfo]FileName:%s,InfoType:%s\r\n", file, key);
  const std::string path = NativeFilePath(file);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (size == 0) {
    LogA("[ME_GetFileInfo] GetFileVersionInfoSizeA失败");
    return false;
  }
  std::vector<char> block;
  try {
    block.assign(size, '\0');
  } catch (...) {
    LogA("[ME_GetFileInfo] malloc失败");
    return false;
  }
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) {
    LogA("[ME_GetFileInfo] GetFileVersionInfoA失败");
    return false;
  }
  char language[16] = {};
  void* table = nullptr;
  UINT table_len = 0;
  if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &table, &table_len) && table &&
      table_len >= 2 * sizeof(WORD)) {
    LogA("[ME_GetFileInfo] 获取文件语言版本成功");
    const WORD* pair = static_cast<const WORD*>(table);
    snprintf(language, sizeof language, "%04x%04x", pair[0], pair[1]);
  } else {
    LogA("[ME_GetFileInfo] 获取文件语言版本失败,设置为中文");
    snprintf(language, sizeof language, "%s", kDefaultLanguageKey);
  }
  char sub_block[2 * kOutSize];
  snprintf(sub_block, sizeof sub_block, "\\StringFileInfo\\%s\\%s", language, key);
  LogA("[ME_GetFileInfo] 获取文件版本信息:%s\r\n", sub_block);
  void* text = nullptr;
  UINT text_len = 0;
  if (!VerQueryValueA(block.data(), sub_block, &text, &text_len) || !text || text_len == 0 ||
      static_cast<char*>(text)[0] == '\0') {
    LogA("[ME_GetFileInfo] 获取文件版本信息失败!\r\n");
    return false;
  }
  // untrusted file content: bounded by the block and by the field
  const char* begin = static_cast<const char*>(text);
  size_t room = static_cast<size_t>(block.data() + block.size() - begin);
  *value = CutField(begin, room < text_len ? room : text_len);
  LogA("[ME_GetFileInfo] 文件版本信息:%s\r\n", value->c_str());
  return true;
}

bool ReadSignerName(const char* file, std::string* name) {
  if (FittingLength(file, kOutSize) <= 0) return false;
  const std::wstring path = AnsiToWide(NativeFilePath(file).c_str());
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  DWORD encoding = 0, content = 0, format = 0;
  if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                        CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &content, &format, &store, &message,
                        nullptr))
    return false;
  struct Release {
    HCERTSTORE store;
    HCRYPTMSG message;
    ~Release() {
      if (message) CryptMsgClose(message);
      if (store) CertCloseStore(store, 0);
    }
  } release{store, message};

  DWORD info_size = 0;
  if (!CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &info_size) || info_size == 0) return false;
  std::vector<BYTE> info_block(info_size);
  if (!CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, info_block.data(), &info_size)) return false;
  const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(info_block.data());

  CERT_INFO wanted;
  memset(&wanted, 0, sizeof wanted);
  wanted.Issuer = signer->Issuer;
  wanted.SerialNumber = signer->SerialNumber;
  PCCERT_CONTEXT cert = CertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                   CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
  if (!cert) return false;
  DWORD chars = CertGetNameStringW(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  std::wstring wide;
  if (chars > 1) {
    wide.assign(chars, L'\0');
    CertGetNameStringW(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, &wide[0], chars);
    wide.resize(wcsnlen(wide.c_str(), chars));
  }
  CertFreeCertificateContext(cert);
  if (wide.empty()) return false;
  // converted whole first, then cut in bytes: GBK may need two bytes a character
  std::string ansi = WideToAnsi(wide.c_str());
  if (ansi.empty()) return false;
  *name = CutField(ansi.c_str(), ansi.size());
  return true;
}

namespace {

bool SignedHashIsValid(const char* file) {
  const std::wstring path = AnsiToWide(NativeFilePath(file).c_str());
  WINTRUST_FILE_INFO file_info;
  memset(&file_info, 0, sizeof file_info);
  file_info.cbStruct = sizeof file_info;
  file_info.pcwszFilePath = path.c_str();
  WINTRUST_DATA data;
  memset(&data, 0, sizeof data);
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file_info;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_HASH_ONLY_FLAG;  // the file's hash against its signature, not the chain
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  LONG rc = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return rc == 0;
}

int VersionStringExport(const char* file, char* out, const char* key) {
  if (!out) return 0;
  std::string value;
  if (!ReadVersionString(file, key, &value)) return 0;
  WriteField(out, value);
  return 1;
}

}  // namespace

}  // namespace varnak::engine

using namespace varnak;
using namespace varnak::engine;

ORLIMB_EXPORT int ORLIMB_CALL GetFileVer(const char* file, char* version) {
  return Guarded(0, [&] {
    if (!version || FittingLength(file, kOutSize) <= 0) return 0;
    const std::wstring path = AnsiToWide(NativeFilePath(file).c_str());
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size > 0) {
      std::vector<BYTE> block(size, 0);
      VS_FIXEDFILEINFO* fixed = nullptr;
      UINT len = 0;
      if (GetFileVersionInfoW(path.c_str(), 0, size, block.data()) &&
          VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) && fixed && len > 0) {
        char text[64];
        snprintf(text, sizeof text, "%d.%d.%d.%d", int(HIWORD(fixed->dwFileVersionMS)),
                 int(LOWORD(fixed->dwFileVersionMS)), int(HIWORD(fixed->dwFileVersionLS)),
                 int(LOWORD(fixed->dwFileVersionLS)));
        WriteField(version, text);
        return 1;
      }
    }
    return VersionStringExport(file, version, "FileVersion");
  });
}

ORLIMB_EXPORT int ORLIMB_CALL GetFileCompanyName(const char* file, char* text) {
  return Guarded(0, [&] { return VersionStringExport(file, text, "CompanyName"); });
}

ORLIMB_EXPORT int ORLIMB_CALL GetFileDescription(const char* file, char* text) {
  return Guarded(0, [&] { return VersionStringExport(file, text, "FileDescription"); });
}

ORLIMB_EXPORT int ORLIMB_CALL CheckSigAndHashA(int verify_hash, const char* file, char* signer) {
  return Guarded(0, [&] {
    std::string name;
    bool have = file && ReadSignerName(file, &name);
    if (signer) WriteField(signer, have ? name : std::string(" "));
    if (!have) return 0;
    if (verify_hash != 1) return 1;
    return SignedHashIsValid(file) ? 1 : 0;
  });
}
