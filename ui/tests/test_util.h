// Helpers shared by the toolkit's Windows tests.
#ifndef VARNAK_UI_TESTS_TEST_UTIL_H
#define VARNAK_UI_TESTS_TEST_UTIL_H

#include <windows.h>

#include <string>
#include <vector>

#include "ui/core/zip_testdata.h"

namespace varnak::ui::test {

inline std::wstring Wide(const std::string& ansi) {
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<size_t>(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &w[0], n);
  w.resize(wcslen(w.c_str()));
  return w;
}

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = bytes.empty() || WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == bytes.size();
}

inline std::string ZipBytes(const std::vector<ZipItem>& items) {
  std::vector<uint8_t> z = MakeZip(items);
  return std::string(z.begin(), z.end());
}

}  // namespace varnak::ui::test

#endif
