// The loopback NTP peers that ntp_peers.py started for the Windows tests:
// their addresses by name, read from the file named by KELVANE_PEERS (a
// Linux path, seen by Wine on drive Z:).
#ifndef KELVANE_TESTS_PEERS_H
#define KELVANE_TESTS_PEERS_H

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

namespace kelvane::test {

inline std::string LinuxPathToWine(const std::string& path) {
  return path.empty() || path[0] != '/' ? path : "Z:" + path;
}

// name -> dotted address; empty when the peers are not running.
inline std::map<std::string, std::string> LoadPeers() {
  std::map<std::string, std::string> peers;
  const char* file = std::getenv("KELVANE_PEERS");
  if (file == nullptr) return peers;
  std::ifstream in(LinuxPathToWine(file));
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) peers[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return peers;
}

// The folder of the peers file (where requests.txt is written).
inline std::string PeersFolder() {
  const char* file = std::getenv("KELVANE_PEERS");
  if (file == nullptr) return std::string();
  std::string path = LinuxPathToWine(file);
  return path.substr(0, path.find_last_of("/\\"));
}

}  // namespace kelvane::test

#endif
