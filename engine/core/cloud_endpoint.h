// The cloud service the product reports to and downloads from: one host,
// plain HTTP, shared by the engine (statistics, crash reports) and the
// script library (downloads).
//
// The host is compiled in (kDefaultCloudHost) and can be overridden with the
// environment variable VARNAK_CLOUD_HOST, as "host" or "host:port", read
// when asked. Tests point it at their loopback server; a staging deployment
// can point it at its own host. Platform-free.
#ifndef VARNAK_ENGINE_CORE_CLOUD_ENDPOINT_H
#define VARNAK_ENGINE_CORE_CLOUD_ENDPOINT_H

#include <string>

namespace varnak::engine {

inline constexpr const char kDefaultCloudHost[] = "cloud.varnak.cn";
inline constexpr const char kCloudHostVariable[] = "VARNAK_CLOUD_HOST";

// True for "name" or "name:port": letters, digits, '.', '-' and an optional
// decimal port 1..65535. Anything else (paths, user info, spaces) is refused
// so that an override can never change more than the host.
bool IsValidCloudHost(const std::string& host);

// The override when it is set and valid, else the compiled-in host.
std::string CloudHost();
std::string CloudHostFrom(const char* override_value);

// Splits "name[:port]"; the port is 80 when absent.
void SplitCloudHost(const std::string& host, std::string* name, unsigned* port);

// "http://" + host + text for a statistics request. The text is the
// caller's path and query; when it starts with neither '/' nor '?' a '/' is
// inserted, so that the text can never extend the host name.
std::string StatisticsUrl(const std::string& host, const std::string& path_and_query);

// "http://" + host + "/" + path for a download.
std::string DownloadUrl(const std::string& host, const std::string& path);

// True for a local file name a download may be saved under: not empty, no
// folder part, no drive, no "..".
bool IsPlainLocalName(const std::string& name);

}  // namespace varnak::engine

#endif
