// CGlobalsX: the process-wide class registry that markup uses to create
// elements by tag. Ordinal, case-sensitive names; the first registration of
// a name wins. The registry lives in its own function-local static, so
// registering during static initialisation starts nothing else; drawing
// factories are created on first use by the windows that need them.
#ifndef VARNAK_UI_GLOBALS_H
#define VARNAK_UI_GLOBALS_H

#include <map>
#include <string>

#include "ui/element.h"

namespace varnak::ui {

using ElementFactory = IElementX* (*)();

class CGlobalsX {
 public:
  static CGlobalsX& Get();
  // Returns the factory when added, null when the name was present.
  ElementFactory RegisterElementClass(const std::wstring& name, ElementFactory factory);
  bool IsClassRegistered(const std::wstring& name);
  // A new element with count 0, or null for an unknown name.
  IElementX* CreateByName(const std::wstring& name);

 private:
  CGlobalsX();
  CRITICAL_SECTION lock_;  // not std::mutex: its runtime needs routines XP lacks
  std::map<std::wstring, ElementFactory> classes_;
};

inline IElementX* CreateByName(const std::wstring& name) { return CGlobalsX::Get().CreateByName(name); }

// Registers T under name at static initialisation:
//   static const bool registered = RegisterClassOf<CMyPanel>(L"MyPanel");
template <typename T>
bool RegisterClassOf(const wchar_t* name) {
  return CGlobalsX::Get().RegisterElementClass(name, []() -> IElementX* { return new (std::nothrow) T(); }) !=
         nullptr;
}

}  // namespace varnak::ui

#endif
