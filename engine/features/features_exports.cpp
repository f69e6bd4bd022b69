// The features library exports: loading "FeaturesLib.qvx" (a zlib stream or
// plain JSON), suggestions for executables, the DNS list and the user's
// stored choices.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/features_lib.h"
#include "engine/core/zlib_frame.h"
#include "engine/fileinfo/file_info.h"
#include "engine/frame/engine.h"
#include "engine/frame/file_io.h"

namespace varnak::engine {
namespace {

// The loaded library. Written only by InitFeaturesLib and FreeFeaturesLib,
// which must not overlap with a lookup (callers load once at start-up).
FeatureTables g_tables;

void LogLine(const std::string& line) { LogA("%s", line.c_str()); }
// No sink while the log is off, so that no line is formatted for nothing.
LogSink Log() { return LogOn() ? LogSink(&LogLine) : LogSink(); }

// A features library compresses far better than ordinary files (JSON of
// repeated keys: 5-10x and more), so its loader accepts up to 200x, within
// an absolute bound, where the UnZip export keeps its 10x rule.
constexpr uint64_t kLibraryRatio = 200;
constexpr uint64_t kLibraryMaxBytes = 512ull << 20;

// The library text: the file decompressed when it is one zlib stream, else
// the file itself (a plain-text library). Decompressed in memory: an
// intermediate file in the install folder would need write rights there,
// which a non-elevated start lacks, and would then fail the load.
bool ReadLibraryText(const char* path, std::string* text) {
  std::vector<uint8_t> bytes, plain;
  if (!ReadWholeFile(path, &bytes)) return false;
  uint64_t limit = std::min<uint64_t>(kLibraryRatio * bytes.size(), kLibraryMaxBytes);
  if (ZlibInflateLimited(bytes.data(), bytes.size(), limit, &plain) == InflateResult::kOk) {
    text->assign(plain.begin(), plain.end());
  } else {
    text->assign(bytes.begin(), bytes.end());
  }
  return true;
}

}  // namespace
}  // namespace varnak::engine

using namespace varnak;
using namespace varnak::engine;

ORLIMB_EXPORT int ORLIMB_CALL InitFeaturesLib(const char* path) {
  return Guarded(0, [&] {
    if (!g_tables.entries.empty() && !g_tables.dns.empty()) return 1;  // already loaded
    if (FittingLength(path, ORLIMB_PATH_SIZE) <= 0) return 0;
    std::string text;
    if (!ReadLibraryText(path, &text)) return 0;
    FeatureTables parsed;
    ParseOutcome outcome = ParseFeaturesLib(text, &parsed, Log());
    if (outcome == ParseOutcome::kBadDocument) return 0;  // the state stays as it was
    g_tables = std::move(parsed);                          // the previous tables are released here
    return outcome == ParseOutcome::kOk ? 1 : 0;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL FreeFeaturesLib(void) {
  g_tables = FeatureTables();
  return 1;
}

ORLIMB_EXPORT int ORLIMB_CALL GetDnsLibCount(void) { return static_cast<int>(g_tables.dns.size()); }

ORLIMB_EXPORT int ORLIMB_CALL GetDnsByIndex(unsigned index, char* address) {
  if (!address || index >= g_tables.dns.size()) return 0;
  memcpy(address, g_tables.dns[index].data(), g_tables.dns[index].size());
  return 1;
}

ORLIMB_EXPORT int ORLIMB_CALL GetFeaturesLibSuggest(const char* path, char* remark, int* suggestion) {
  return Guarded(0, [&] {
    if (!path || !remark || !suggestion) return 0;
    FileFacts facts;
    facts.company = [&](std::string* v) { return ReadVersionString(path, "CompanyName", v); };
    facts.signer = [&](std::string* v) { return ReadSignerName(path, v); };
    facts.description = [&](std::string* v) { return ReadVersionString(path, "FileDescription", v); };
    int found = FindFeature(g_tables, path, facts, Log());
    if (found < 0) return 0;
    const FeatureEntry& e = g_tables.entries[size_t(found)];
    *suggestion = e.suggestion;
    memcpy(remark, e.remark, strnlen(e.remark, sizeof e.remark - 1) + 1);
    return 1;
  });
}

ORLIMB_EXPORT int ORLIMB_CALL GetUserSelect(const char* name, const char* settings, int* selection) {
  return Guarded(0, [&] {
    // a null key would read the section's key list as a value
    if (!name || !*name || !settings || !*settings || !selection) return 0;
    char value[64] = {};
    GetPrivateProfileStringA("UserSelect", name, "", value, sizeof value, settings);
    if (!value[0]) return 0;
    if (lstrcmpiA(value, "Select") == 0) {
      *selection = 1;
    } else if (lstrcmpiA(value, "UnSelect") == 0) {
      *selection = 0;
    }
    return 1;
  });
}

ORLIMB_EXPORT void ORLIMB_CALL SetUserSelect(const char* name, const char* settings, int select) {
  // a null key would delete every stored choice; an empty one writes "=Select"
  if (!name || !*name || !settings || !*settings) return;
  WritePrivateProfileStringA("UserSelect", name, select ? "Select" : "UnSelect", settings);
}
