#include "engine/core/engine_rules.h"

#include <cstdio>

#include "common/gbk_text.h"
#include "engine/core/path_text.h"

namespace varnak::engine {

int PriorityRank(uint32_t c) {
  switch (c) {
    case kIdle: return 1;
    case kBelowNormal: return 2;
    case kNormal: return 3;
    case kAboveNormal: return 4;
    case kHigh: return 5;
    case kRealtime: return 6;
    default: return 0;
  }
}

uint32_t BoostedClass(uint32_t saved) { return PriorityRank(saved) <= PriorityRank(kNormal) ? kHigh : kRealtime; }

uint32_t ReboostClass(uint32_t saved, uint32_t current) {
  if (PriorityRank(current) > PriorityRank(kNormal)) return 0;  // still raised
  // the product's opposite pairing: saved at normal or lower comes back at realtime
  return PriorityRank(saved) <= PriorityRank(kNormal) ? kRealtime : kHigh;
}

std::string EscapeRequestBytes(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (c <= 0x20 || c == 0x7F || c >= 0x80 || c == '#' || c == '%') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += char(c);
    }
  }
  return out;
}

namespace {
// Cuts raw text so that its escaped form has at most `room` bytes, on a
// character boundary.
std::string CutEscaped(const std::string& raw, size_t room) {
  size_t n = raw.size();
  while (n > 0 && EscapeRequestBytes(raw.substr(0, n)).size() > room) {
    n = GbkPrefixLength(raw.data(), raw.size(), n - 1);
  }
  return EscapeRequestBytes(raw.substr(0, n));
}
}  // namespace

std::string CrashReportTarget(const CrashReportFields& f, size_t limit) {
  char fixed[512];
  snprintf(fixed, sizeof fixed, "/Crash.php?usermid=%s&ver=%s&CrashSystem=%d.%d&CrashOSBit=%d&EndCode=%08X",
           f.mid.c_str(), f.version.c_str(), f.major, f.minor, f.bitness, unsigned(f.code));
  const std::string head = fixed;
  std::string module = EscapeRequestBytes(f.module), file = EscapeRequestBytes(f.file),
              line = EscapeRequestBytes(f.line), function = EscapeRequestBytes(f.function);
  auto build = [&] {
    return head + "&EndMoudle=" + module + "&CodeFile=" + file + "&CodeLine=" + line + "&FunName=" + function;
  };
  auto over = [&] { return build().size() > limit ? build().size() - limit : 0; };
  if (over() == 0) return build();
  // 1. the function name
  function = CutEscaped(f.function, function.size() > over() ? function.size() - over() : 0);
  if (over() == 0) return build();
  // 2. the file: its last path component, then cut
  const std::string short_file = GbkFileName(f.file);
  file = EscapeRequestBytes(short_file);
  if (over() == 0) return build();
  file = CutEscaped(short_file, file.size() > over() ? file.size() - over() : 0);
  if (over() == 0) return build();
  // 3. the module, 4. the line
  module = CutEscaped(f.module, module.size() > over() ? module.size() - over() : 0);
  if (over() == 0) return build();
  line = CutEscaped(f.line, line.size() > over() ? line.size() - over() : 0);
  return build();  // only the fixed part is left whole
}

}  // namespace varnak::engine
