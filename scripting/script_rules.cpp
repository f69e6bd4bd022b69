// Platform-free rules of the script library (see script_rules.h).
#include "scripting/script_rules.h"

#include <cmath>
#include <cstring>

#include "common/gbk_text.h"

namespace seskel {

int32_t ToWrapped32(double value) {
  if (std::isnan(value)) return 0;
  if (std::isinf(value)) return 0;
  // fmod is exact, so this is the integer's remainder modulo 2^32 at any size
  double r = std::fmod(std::trunc(value), 4294967296.0);
  if (r < 0) r += 4294967296.0;
  return static_cast<int32_t>(static_cast<uint32_t>(r));
}

uint32_t ToMilliseconds(double value) {
  if (std::isnan(value) || value <= 0) return 0;
  if (value >= 2147483647.0) return 0x7FFFFFFF;
  return static_cast<uint32_t>(value);
}

bool ToIndex(double value, size_t count, size_t* index) {
  if (std::isnan(value)) value = 0;
  double t = std::trunc(value);
  if (t < 0 || t >= static_cast<double>(count)) return false;
  *index = static_cast<size_t>(t);
  return true;
}

namespace {

bool SameAsciiCase(const char* a, const char* b) {
  if (!a || !b) return false;
  return varnak::GbkLower(a) == varnak::GbkLower(b);
}

struct RootName {
  const char* name;
  RegistryRoot root;
};

const RootName kRoots[] = {
    {"HKEY_CURRENT_USER", RegistryRoot::kCurrentUser}, {"HKCU", RegistryRoot::kCurrentUser},
    {"HKEY_USERS", RegistryRoot::kUsers},              {"HKUS", RegistryRoot::kUsers},
    {"HKEY_LOCAL_MACHINE", RegistryRoot::kLocalMachine}, {"HKLM", RegistryRoot::kLocalMachine},
    {"HKEY_CLASSES_ROOT", RegistryRoot::kClassesRoot}, {"HKCR", RegistryRoot::kClassesRoot},
    {"HKEY_CURRENT_CONFIG", RegistryRoot::kCurrentConfig}, {"HKCC", RegistryRoot::kCurrentConfig},
};

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;

// The aliases are GBK literals (the sources compile narrow text to GBK), so
// they compare byte for byte with what scripts pass.
const SpecialFolder kFolders[] = {
    {"Desktop", "桌面", kUser, "Desktop"},
    {"StartMenu", "开始菜单", kUser, "Start Menu"},
    {"StartMenu_Programs", "开始菜单程序", kUser, "Programs"},
    {"AppData", nullptr, kUser, "AppData"},
    {"AppData_Local", nullptr, kUser, "Local AppData"},
    {"Documents", "我的文档", kUser, "Personal"},
    {"Templates", nullptr, kUser, "Templates"},
    {"Startup", "启动文件夹", kUser, "Startup"},
    {"Music", "我的音乐", kUser, "My Music"},
    {"Pictures", "我的图片", kUser, "My Pictures"},
    {"Video", "我的视频", kUser, "My Video"},
    {"Cache", "IE缓存", kUser, "Cache"},
    {"Cookies", nullptr, kUser, "Cookies"},
    {"History", "历史记录", kUser, "History"},
    {"SendTo", "发送到", kUser, "SendTo"},
    {"CommonVideo", "公用我的视频", kMachine, "CommonVideo"},
    {"CommonPictures", "公用我的图片", kMachine, "CommonPictures"},
    {"CommonMusic", "公用我的音乐", kMachine, "CommonMusic"},
    {"Common_Startup", "公用启动文件夹", kMachine, "Common Startup"},
    {"Common_Templates", nullptr, kMachine, "Common Templates"},
    {"Common_Documents", "公用我的文档", kMachine, "Common Documents"},
    {"Common_AppData", "公用AppData", kMachine, "Common AppData"},
    {"Common_StartMenu_Programs", "公用开始菜单程序", kMachine, "Common Programs"},
    {"Common_Desktop", "公用桌面", kMachine, "Common Desktop"},
    {"Common_StartMenu", "公用开始菜单", kMachine, "Common Start Menu"},
};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A component of dots and spaces with two or more dots: ".." itself, or a
// spelling ("...", ".. ") that path normalisation may turn into it.
bool IsParentLike(const char* begin, const char* end) {
  int dots = 0;
  for (const char* p = begin; p < end; ++p) {
    if (*p == '.') {
      ++dots;
    } else if (*p != ' ') {
      return false;
    }
  }
  return dots >= 2;
}

}  // namespace

const char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

RegistryRoot FindRegistryRoot(const char* name) {
  for (const RootName& r : kRoots) {
    if (SameAsciiCase(name, r.name)) return r.root;
  }
  return RegistryRoot::kNone;
}

const SpecialFolder* FindSpecialFolder(const char* name) {
  for (const SpecialFolder& f : kFolders) {
    if (SameAsciiCase(name, f.name) || SameAsciiCase(name, f.alias)) return &f;
  }
  return nullptr;
}

bool IsSafeLocalName(const char* name) {
  if (!name || !*name || IsSeparator(name[0])) return false;
  const char* component = name;
  for (const char* p = name;; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == 0 || IsSeparator(*p)) {
      if (IsParentLike(component, p)) return false;
      if (c == 0) return true;
      component = p + 1;
    } else if (c == ':') {
      return false;
    } else if (varnak::IsGbkLeadByte(c) && p[1] != 0) {
      ++p;  // the trail byte may be 0x5C or 0x2F; it is part of the character
    }
  }
}

ptrdiff_t LastSeparator(const char* text) {
  ptrdiff_t last = -1;
  if (!text) return last;
  for (const char* p = text; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\\') {
      last = p - text;
    } else if (varnak::IsGbkLeadByte(c) && p[1] != 0) {
      ++p;
    }
  }
  return last;
}

bool EndsWithSeparator(const char* text) {
  if (!text || !*text) return false;
  return LastSeparator(text) == static_cast<ptrdiff_t>(std::strlen(text)) - 1;
}

}  // namespace seskel
