// Features library parsing and lookup.
#include "engine/core/features_lib.h"

#include <json/json.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "common/gbk_text.h"
#include "engine/core/path_text.h"

namespace varnak::engine {
namespace {

std::string Format(const char* format, const std::string& text, size_t limit) {
  char line[1200];
  snprintf(line, sizeof line, format, text.c_str(), int(limit));
  return line;
}

// A member as a string: absent or of another type reads as empty.
std::string StringMember(const Json::Value& object, const char* key) {
  const Json::Value& v = object[key];
  return v.isString() ? v.asString() : std::string();
}

int32_t IntMember(const Json::Value& object, const char* key) {
  const Json::Value& v = object[key];
  return v.isInt() ? v.asInt() : 0;
}

bool BoolMember(const Json::Value& object, const char* key) {
  const Json::Value& v = object[key];
  return v.isBool() && v.asBool();
}

void Store(char* field, const std::string& value) { memcpy(field, value.c_str(), value.size() + 1); }

}  // namespace

ParseOutcome ParseFeaturesLib(const std::string& input, FeatureTables* tables, const LogSink& log_sink) {
  // lines are formatted only when someone listens
  auto log = [&](const std::string& line) {
    if (log_sink) log_sink(line);
  };
  std::string text = input;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  Json::CharReaderBuilder builder;  // default settings accept comments
  builder["collectComments"] = false;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string errors;
  if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) {
    log("reader.parse失败!");
    return ParseOutcome::kBadDocument;
  }
  if (!root.isObject()) return ParseOutcome::kBadDocument;
  const Json::Value& lib = root["lib"];
  const Json::Value& dns = root["DnsLib"];
  if ((!lib.isNull() && !lib.isArray()) || (!dns.isNull() && !dns.isArray())) return ParseOutcome::kBadDocument;
  StringMember(root, "LibName");  // read and not used

  FeatureTables result;
  result.entries.resize(lib.size());
  memset(result.entries.data(), 0, result.entries.size() * sizeof(FeatureEntry));
  for (Json::ArrayIndex i = 0; i < lib.size(); ++i) {
    const Json::Value& item = lib[i];
    FeatureEntry& e = result.entries[i];
    if (!item.isObject()) continue;  // an element of another type stays an empty record
    std::string name = StringMember(item, "PName");
    if (name.size() > kMaxFeatureName) {
      log(Format("特征库建议项:%s PName超过%d", name.substr(0, 64), kMaxFeatureName));
    } else {
      Store(e.name, GbkLower(name));
    }
    e.suggestion = IntMember(item, "Sug");
    std::string remark = StringMember(item, "Rem");
    if (remark.size() > kMaxFeatureText) {
      log(Format("特征库建议项:%s Rem超过%d", e.name, kMaxFeatureText));
    } else {
      Store(e.remark, remark);
    }
    e.extended = BoolMember(item, "IsExt") ? 1 : 0;
    if (e.extended) {
      const struct {
        const char* key;
        char* field;
        const char* too_long;
      } parts[] = {{"SigName", e.signer, "特征库建议项:%s SigName超过%d"},
                   {"CompanyName", e.company, "特征库建议项:%s CompanyName超过%d"},
                   {"Description", e.description, "特征库建议项:%s Description超过%d"}};
      for (const auto& part : parts) {
        std::string value = StringMember(item, part.key);
        if (value.empty()) continue;
        if (value.size() > kMaxFeatureText) {
          log(Format(part.too_long, e.name, kMaxFeatureText));
        } else {
          Store(part.field, value);
        }
      }
    }
    if (log_sink) {
      char line[400];
      snprintf(line, sizeof line, "特征库:PRocessName:%s 进程描述:%s\r\n", e.name, e.remark);
      log(line);
    }
  }
  result.dns.resize(dns.size());
  for (auto& address : result.dns) address.fill('\0');
  ParseOutcome outcome = ParseOutcome::kOk;
  for (Json::ArrayIndex i = 0; i < dns.size(); ++i) {
    const Json::Value& item = dns[i];
    std::string ip = item.isObject() ? StringMember(item, "Ip") : std::string();
    if (ip.size() > kMaxDnsAddress) {
      log("DNS数据库IP长度错误");
      outcome = ParseOutcome::kBadDnsAddress;
      break;
    }
    if (log_sink) log("DNSIP:" + ip + "\r\n");
    memcpy(result.dns[i].data(), ip.c_str(), ip.size() + 1);
  }
  *tables = std::move(result);
  return outcome;
}

int FindFeature(const FeatureTables& tables, const std::string& path, const FileFacts& facts, const LogSink& log_sink) {
  auto log = [&](const std::string& line) {
    if (log_sink) log_sink(line);
  };
  const std::string file = GbkFileName(path);
  if (file.empty() || file.size() > kMaxFeatureName) return -1;
  const std::string wanted = GbkLower(file);
  // each fact is read at most once per lookup
  std::optional<std::pair<bool, std::string>> company, signer, description;
  auto fact = [](std::optional<std::pair<bool, std::string>>& slot, const std::function<bool(std::string*)>& read) {
    if (!slot) {
      std::string value;
      bool ok = read && read(&value);
      slot.emplace(ok, value);
    }
    return *slot;
  };
  auto contains = [](const std::pair<bool, std::string>& f, const char* part) {
    return f.first && !f.second.empty() && f.second.find(part) != std::string::npos;
  };
  for (size_t i = 0; i < tables.entries.size(); ++i) {
    const FeatureEntry& e = tables.entries[i];
    if (e.name[0] == '\0' || wanted != e.name) continue;
    if (e.extended != 1) return int(i);
    log("[GetFeaturesLibSuggest] 需要获取扩展信息\r\n");
    if (e.company[0] && !contains(fact(company, facts.company), e.company)) continue;
    if (e.signer[0] && !contains(fact(signer, facts.signer), e.signer)) continue;
    if (e.description[0] && !contains(fact(description, facts.description), e.description)) continue;
    return int(i);
  }
  return -1;
}

}  // namespace varnak::engine
