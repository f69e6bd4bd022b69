// The features library: parsing its JSON document into fixed records and
// the lookup of a suggestion for an executable. Platform-free; the engine
// supplies file facts (company, signer, description) through FileFacts.
#ifndef VARNAK_ENGINE_CORE_FEATURES_LIB_H
#define VARNAK_ENGINE_CORE_FEATURES_LIB_H

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace varnak::engine {

// One library entry as a fixed record; text fields are zero-terminated and
// a value that was not stored leaves its field empty.
struct FeatureEntry {
  char name[261];
  char remark[51];
  int32_t suggestion;
  int32_t extended;
  char signer[51];
  char company[51];
  char description[51];
};

struct FeatureTables {
  std::vector<FeatureEntry> entries;
  std::vector<std::array<char, 17>> dns;
};

// Longest stored text values in bytes (GBK bytes, not characters).
constexpr size_t kMaxFeatureText = 50;
constexpr size_t kMaxFeatureName = 259;
constexpr size_t kMaxDnsAddress = 16;

enum class ParseOutcome {
  kOk,
  kBadDocument,   // not parsable, or the root / "lib" / "DnsLib" has the wrong type: nothing stored
  kBadDnsAddress  // an over-long "Ip": the tables are kept as filled so far
};

using LogSink = std::function<void(const std::string&)>;

// Parses the library text (a UTF-8 BOM is skipped; comments are allowed).
// Members of the wrong type read as missing. Log lines go to `log`.
ParseOutcome ParseFeaturesLib(const std::string& text, FeatureTables* tables, const LogSink& log);

// What the lookup may need to know about the file; each is asked at most once
// per lookup, and only for an entry with extended checks. False: unreadable.
struct FileFacts {
  std::function<bool(std::string*)> company, signer, description;
};

// The first entry that matches the executable at `path`, or -1. The wanted
// name is the file name part, lower-cased; a longer name than 259 bytes
// matches nothing.
int FindFeature(const FeatureTables& tables, const std::string& path, const FileFacts& facts, const LogSink& log);

}  // namespace varnak::engine

#endif
