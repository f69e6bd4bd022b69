// The machine identifier (MD5 of the first adapter's hardware address) and
// the URL availability check.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/win_handles.h"
#include "common/md5.h"
#include "engine/crash/crash_internal.h"
#include "engine/frame/engine.h"

namespace varnak::engine {

bool ReadMacText(std::string* text) {
  // sized from the structure, never from the 32-bit literal
  ULONG size = sizeof(IP_ADAPTER_INFO);
  std::vector<uint8_t> buffer;
  try {
    buffer.resize(size);
  } catch (...) {
    LogA("[GetMAC]GetMID:malloc sizeof (IP_ADAPTER_INFO) error");
    return false;
  }
  DWORD rc = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
  if (rc == ERROR_BUFFER_OVERFLOW) {
    try {
      buffer.resize(size);
    } catch (...) {
      LogA("[GetMAC]GetMID:malloc ERROR_BUFFER_OVERFLOW ulOutBufLen error");
      return false;
    }
    rc = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
  }
  if (rc != ERROR_SUCCESS) return false;
  const auto* adapter = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data());
  LogA("[GetMAC]GetMID:IPAddress:%s\r\n", adapter->IpAddressList.IpAddress.String);
  const UINT count = adapter->AddressLength < MAX_ADAPTER_ADDRESS_LENGTH ? adapter->AddressLength
                                                                          : MAX_ADAPTER_ADDRESS_LENGTH;
  for (UINT i = 0; i < count; ++i) LogA(i + 1 < count ? "[GetMAC]%X-" : "[GetMAC]%X\r\n", adapter->Address[i]);
  char mac[32];
  const BYTE* a = adapter->Address;  // always six bytes in the text, as the format says
  snprintf(mac, sizeof mac, "%X-%X-%X-%X-%X-%X", a[0], a[1], a[2], a[3], a[4], a[5]);
  LogA("[GetMAC]GetMAC:UserMac:%s\r\n", mac);
  *text = mac;
  return true;
}

bool ReadMachineId(std::string* id) {
  std::string mac;
  if (!ReadMacText(&mac)) return false;
  *id = Md5Hex(mac.data(), mac.size());
  return true;
}

}  // namespace varnak::engine

using namespace varnak;
using namespace varnak::engine;

ORLIMB_EXPORT int ORLIMB_CALL GetMAC(char* text) {
  return Guarded(0, [&] {
    std::string mac;
    if (!text || !ReadMacText(&mac) || mac.size() >= ORLIMB_MAC_SIZE) return 0;
    memcpy(text, mac.c_str(), mac.size() + 1);
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL GetMID(char* id) {
  return Guarded(0, [&] {
    std::string mid;
    if (!id || !ReadMachineId(&mid)) return 0;
    memcpy(id, mid.c_str(), mid.size() + 1);
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL CheckUrlFile(const char* url, int* status) {
  return Guarded(0, [&] {
    if (!url || !*url) return 0;
    DeleteUrlCacheEntryA(url);
    unique_hinternet session(InternetOpenA("Test_Url_File", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) {
      LogA("InternetOpenA_Error:%d\r\n", int(GetLastError()));
      return 0;
    }
    unique_hinternet request(InternetOpenUrlA(session.get(), url, nullptr, 0,
                                              INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request) {
      LogA("InternetOpenUrlA_Error:%d\r\n", int(GetLastError()));
      return 0;
    }
    char code[16] = {};
    DWORD length = 15;
    if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE, code, &length, nullptr)) {
      LogA("HttpQueryInfoA_Error:%d\r\n", int(GetLastError()));
      return 0;
    }
    LogA("HttpQueryInfoA:%s\r\n", code);
    if (strcmp(code, "200") == 0 || strcmp(code, "304") == 0) return 1;
    if (status) *status = atoi(code);
    return 0;
  });
}
