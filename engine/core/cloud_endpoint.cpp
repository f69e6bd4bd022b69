#include "engine/core/cloud_endpoint.h"

#include <cstdlib>

#include "common/gbk_text.h"

namespace varnak::engine {

bool IsValidCloudHost(const std::string& host) {
  size_t colon = host.find(':');
  std::string name = host.substr(0, colon);
  if (name.empty() || name.size() > 253) return false;
  for (char c : name) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
    if (!ok) return false;
  }
  if (colon == std::string::npos) return true;
  std::string port = host.substr(colon + 1);
  if (port.empty() || port.size() > 5) return false;
  unsigned value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + unsigned(c - '0');
  }
  return value >= 1 && value <= 65535;
}

std::string CloudHostFrom(const char* override_value) {
  if (override_value && IsValidCloudHost(override_value)) return override_value;
  return kDefaultCloudHost;
}

std::string CloudHost() { return CloudHostFrom(std::getenv(kCloudHostVariable)); }

void SplitCloudHost(const std::string& host, std::string* name, unsigned* port) {
  size_t colon = host.find(':');
  if (name) *name = host.substr(0, colon);
  if (port) *port = colon == std::string::npos ? 80u : unsigned(std::strtoul(host.c_str() + colon + 1, nullptr, 10));
}

std::string StatisticsUrl(const std::string& host, const std::string& path_and_query) {
  std::string url = "http://" + host;
  if (path_and_query.empty() || (path_and_query[0] != '/' && path_and_query[0] != '?')) url += '/';
  return url + path_and_query;
}

std::string DownloadUrl(const std::string& host, const std::string& path) { return "http://" + host + "/" + path; }

bool IsPlainLocalName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsGbkLeadByte(c)) {
      ++i;  // a trail byte may be 0x5C and is not a separator
    } else if (c == '\\' || c == '/' || c == ':' || c < 0x20) {
      return false;
    }
  }
  return name.find("..") == std::string::npos;
}

}  // namespace varnak::engine
