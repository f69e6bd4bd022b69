// clickbox.exe <title as hex UTF-8> <button id> [timeout ms]
// Answers a message box of another process: waits for a dialog with that
// title, clicks the button and prints the box's text (UTF-8). The title is
// hex-encoded because the command line arrives in the ANSI code page.
// Exit code 0 when a box was answered, 1 when none appeared, 2 on bad usage.
#include "testsupport/winhost.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
bool HexToBytes(const char* hex, std::string* out) {
  out->clear();
  for (; hex[0] && hex[1]; hex += 2) {
    char pair[3] = {hex[0], hex[1], 0};
    char* end = nullptr;
    long v = strtol(pair, &end, 16);
    if (*end) return false;
    out->push_back(static_cast<char>(v));
  }
  return !*hex;
}

std::wstring Utf8ToWide(const std::string& s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(n, L'\0');
  if (n) MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
  return w;
}
}  // namespace

int main(int argc, char** argv) {
  std::string title;
  if (argc < 3 || !HexToBytes(argv[1], &title)) {
    fprintf(stderr, "usage: clickbox <hex utf-8 title> <button id> [timeout ms]\n");
    return 2;
  }
  const int button = atoi(argv[2]);
  const DWORD timeout = argc > 3 ? static_cast<DWORD>(atol(argv[3])) : 10000;
  std::wstring text = varnak::test::ClickMessageBox(Utf8ToWide(title), button, timeout).get();
  if (text == L"<none>") return 1;
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], n, nullptr, nullptr);
  printf("%s\n", utf8.c_str());
  return 0;
}
