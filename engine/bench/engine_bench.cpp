// Engine benchmark (a program that prints figures, not a test):
//   engine_bench.exe procs <victim.exe> <count>   GetProcessPath by name over a snapshot of
//                                                 <count> running victims, beside a plain
//                                                 snapshot walk + image-name query
//   engine_bench.exe md5 <file>                   GetMd5A
//   engine_bench.exe zip <file> <packed> <back>   Zip, then UnZip
//   engine_bench.exe features <folder>            a generated 10,000-entry library (compressed):
//                                                 InitFeaturesLib beside JsonCpp alone, and
//                                                 GetFeaturesLibSuggest for 1,000 names
//   engine_bench.exe dns <address>...             TestDnsRecvTime beside a plain UDP exchange
// Each figure is one line "name seconds [MiB/s]"; run_bench.sh adds the
// native tools' figures and the ratios.
#include <winsock2.h>
#include <windows.h>
#include <tlhelp32.h>

#include <winsock2.h>

#include <json/json.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/dns_packet.h"
#include "engine/core/zlib_frame.h"

#include "engine/orlimb_api.h"

namespace {

HMODULE g_engine = nullptr;
template <typename F>
F Bind(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(g_engine, name)));
}

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return double(c.QuadPart) / double(f.QuadPart);
}

double FileMiB(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &d)) return 0;
  return (double(d.nFileSizeHigh) * 4294967296.0 + d.nFileSizeLow) / 1048576.0;
}

// The plain loop: walk a snapshot for the name, then ask for the image name.
bool PlainPathLookup(const wchar_t* name, char* path) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W e;
  e.dwSize = sizeof e;
  bool found = false;
  for (BOOL more = Process32FirstW(snap, &e); more && !found; more = Process32NextW(snap, &e)) {
    if (lstrcmpiW(e.szExeFile, name) != 0) continue;
    HANDLE p = OpenProcess(0x1000 /* limited query */, FALSE, e.th32ProcessID);
    DWORD size = MAX_PATH;
    typedef BOOL(WINAPI * Query_t)(HANDLE, DWORD, LPSTR, PDWORD);
    static const Query_t query = reinterpret_cast<Query_t>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA")));
    found = p && query && query(p, 0, path, &size);
    if (p) CloseHandle(p);
  }
  CloseHandle(snap);
  return found;
}

int Procs(const std::string& victim, int count) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string dir = std::string(temp) + "orlimb-bench-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(dir.c_str(), nullptr);
  std::vector<HANDLE> started;
  std::vector<std::string> copies;
  for (int i = 0; i < count; ++i) {
    std::string copy = dir + "\\bv" + std::to_string(i) + ".exe";
    CopyFileA(victim.c_str(), copy.c_str(), FALSE);
    copies.push_back(copy);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + copy + "\" 600000";
    if (CreateProcessA(copy.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      CloseHandle(pi.hThread);
      started.push_back(pi.hProcess);
    }
  }
  Sleep(2000);
  // the last one started sits at the end of the snapshot: a full walk
  std::string wanted = "bv" + std::to_string(count - 1) + ".exe";
  std::wstring wanted_w(wanted.begin(), wanted.end());
  auto get_path = Bind<GetProcessPath_fn>("GetProcessPath");
  const int rounds = 50;
  char path[MAX_PATH];
  double t0 = Now();
  int ok = 0;
  for (int i = 0; i < rounds; ++i) ok += get_path(wanted.c_str(), path);
  double engine = (Now() - t0) / rounds;
  t0 = Now();
  int plain_ok = 0;
  for (int i = 0; i < rounds; ++i) plain_ok += PlainPathLookup(wanted_w.c_str(), path) ? 1 : 0;
  double plain = (Now() - t0) / rounds;
  printf("procs_running %d\n", int(started.size()));
  printf("GetProcessPath %.6f found=%d/%d\n", engine, ok, rounds);
  printf("plain_walk %.6f found=%d/%d\n", plain, plain_ok, rounds);
  for (HANDLE h : started) {
    TerminateProcess(h, 0);
    WaitForSingleObject(h, 5000);
    CloseHandle(h);
  }
  for (const std::string& c : copies) DeleteFileA(c.c_str());
  RemoveDirectoryA(dir.c_str());
  return 0;
}

int Features(const std::string& folder) {
  std::string json = "{\"LibName\":\"bench\",\"lib\":[";
  for (int i = 0; i < 10000; ++i) {
    if (i) json += ",";
    json += "{\"PName\":\"Bench" + std::to_string(i) + ".exe\",\"Sug\":" + std::to_string(i % 7) +
            ",\"Rem\":\"remark of entry " + std::to_string(i) + "\",\"IsExt\":false}";
  }
  json += "],\"DnsLib\":[{\"Ip\":\"223.5.5.5\"},{\"Ip\":\"114.114.114.114\"}]}";
  std::vector<uint8_t> packed;
  varnak::engine::ZlibCompress(reinterpret_cast<const uint8_t*>(json.data()), json.size(), &packed);
  const std::string path = folder + "\\FeaturesLib.qvx";
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD wrote = 0;
  WriteFile(f, packed.data(), DWORD(packed.size()), &wrote, nullptr);
  CloseHandle(f);
  printf("library_bytes json=%zu packed=%zu ratio=%.1f\n", json.size(), packed.size(),
         double(json.size()) / double(packed.size()));

  auto init = Bind<InitFeaturesLib_fn>("InitFeaturesLib");
  auto free_lib = Bind<FreeFeaturesLib_fn>("FreeFeaturesLib");
  auto suggest = Bind<GetFeaturesLibSuggest_fn>("GetFeaturesLibSuggest");
  const int rounds = 10;
  double t0 = Now();
  int ok = 0;
  for (int i = 0; i < rounds; ++i) {
    free_lib();
    ok += init(path.c_str());
  }
  const double load = (Now() - t0) / rounds;
  t0 = Now();
  for (int i = 0; i < rounds; ++i) {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    reader->parse(json.data(), json.data() + json.size(), &root, &errors);
  }
  const double parse = (Now() - t0) / rounds;
  printf("InitFeaturesLib %.6f ok=%d/%d\n", load, ok, rounds);
  printf("jsoncpp_parse %.6f\n", parse);
  char remark[51];
  int sug = 0, found = 0;
  t0 = Now();
  for (int i = 0; i < 1000; ++i) {
    std::string p = "C:\\Program Files\\bench\\bench" + std::to_string(i * 10) + ".exe";
    found += suggest(p.c_str(), remark, &sug);
  }
  const double lookups = Now() - t0;
  printf("GetFeaturesLibSuggest_1000 %.6f found=%d rate=%.0f/s\n", lookups, found, 1000.0 / lookups);
  free_lib();
  return ok == rounds ? 0 : 1;
}

// The plain exchange: the same query, one datagram back, no parsing.
double PlainRoundTripMs(const char* server) {
  std::vector<uint8_t> q;
  varnak::engine::BuildDnsQuery(varnak::engine::kDnsProbeName, &q);
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = htons(53);
  to.sin_addr.s_addr = inet_addr(server);
  DWORD timeout = 2000;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  char reply[1024];
  double t0 = Now();
  sendto(s, reinterpret_cast<const char*>(q.data()), int(q.size()), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  int got = recv(s, reply, sizeof reply, 0);
  double ms = (Now() - t0) * 1000.0;
  closesocket(s);
  return got > 0 ? ms : -1;
}

int Dns(int count, char** servers) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  auto probe = Bind<TestDnsRecvTime_fn>("TestDnsRecvTime");
  double total0 = Now();
  for (int i = 0; i < count; ++i) {
    int reported = -1;
    double t0 = Now();
    int ok = probe(servers[i], 1000, &reported);
    double call_ms = (Now() - t0) * 1000.0;
    printf("TestDnsRecvTime %s ok=%d reported_ms=%d call_ms=%.3f half_call_ms=%.3f\n", servers[i], ok, reported,
           call_ms, call_ms / 2);
  }
  double total = (Now() - total0) * 1000.0;
  for (int i = 0; i < count; ++i) {
    double rtt = PlainRoundTripMs(servers[i]);
    printf("plain_udp %s round_trip_ms=%.3f half_ms=%.3f\n", servers[i], rtt, rtt / 2);
  }
  printf("probe_all_ms %.3f\n", total);
  WSACleanup();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  g_engine = LoadLibraryA("Orlimb.dll");
  if (!g_engine || argc < 3) {
    fprintf(stderr, "usage: engine_bench procs|md5|zip ... (Orlimb.dll beside it)\n");
    return 2;
  }
  const std::string what = argv[1];
  if (what == "procs" && argc >= 4) return Procs(argv[2], atoi(argv[3]));
  if (what == "features") return Features(argv[2]);
  if (what == "dns") return Dns(argc - 2, argv + 2);
  if (what == "md5") {
    char digest[33] = {};
    double t0 = Now();
    int ok = Bind<GetMd5A_fn>("GetMd5A")(argv[2], digest);
    double t = Now() - t0;
    printf("GetMd5A %.3f %.1f ok=%d %s\n", t, FileMiB(argv[2]) / t, ok, digest);
    return ok ? 0 : 1;
  }
  if (what == "zip" && argc >= 5) {
    double t0 = Now();
    int zipped = Bind<Zip_fn>("Zip")(argv[2], argv[3]);
    double tz = Now() - t0;
    t0 = Now();
    int unzipped = Bind<UnZip_fn>("UnZip")(argv[3], argv[4]);
    double tu = Now() - t0;
    printf("Zip %.3f %.1f ok=%d\n", tz, FileMiB(argv[2]) / tz, zipped);
    printf("UnZip %.3f %.1f ok=%d\n", tu, FileMiB(argv[2]) / tu, unzipped);
    return zipped && unzipped ? 0 : 1;
  }
  return 2;
}
