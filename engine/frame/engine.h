// Engine-internal services every export family uses: the debug log, the
// version cache, export guards, text conversion and pointer checks.
#ifndef VARNAK_ENGINE_FRAME_ENGINE_H
#define VARNAK_ENGINE_FRAME_ENGINE_H

#include "engine/orlimb_api.h"

#include <string>

namespace varnak::engine {

// Capacity of every formatted log line, terminator included (1,055 characters).
constexpr size_t kLogChars = 1056;

bool LogOn();
// The 8-bit writer (DbgPrintA's body) and its UTF-16 twin. Wide formats use
// %ls for wide strings and %hs for narrow ones.
void LogA(const char* format, ...);
void LogW(const wchar_t* format, ...);

// The version cache, filled on first need. Readers get a consistent copy.
struct SystemVersion {
  int major = 0, minor = 0, build = 0, bitness = 0;
};
SystemVersion CachedVersion();
bool ReadSystemVersion(SystemVersion* v);

// Runs an export body; any exception becomes `failure`.
template <typename R, typename F>
R Guarded(R failure, F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

// ANSI (system code page) <-> UTF-16. Null counts as empty.
std::wstring AnsiToWide(const char* text);
std::string WideToAnsi(const wchar_t* text);

// Length of text when it fits a fixed field of `capacity` bytes with its
// terminator; -1 for a null or over-long text.
int FittingLength(const char* text, size_t capacity);

// True when [p, p + n) is committed memory this process may read / write.
// Checks the page protection instead of touching the bytes.
bool IsReadable(const void* p, size_t n);
bool IsWritable(void* p, size_t n);

// The path to open for a file named by a caller. In the 32-bit build on
// 64-bit Windows, "%windir%\System32\..." is redirected to SysWOW64, so it is
// rewritten to "%windir%\Sysnative\..." to read the file the name means.
std::string NativeFilePath(const char* path);

// The folder of the host program's executable, without a trailing '\'.
std::wstring HostFolder();

}  // namespace varnak::engine

#endif
