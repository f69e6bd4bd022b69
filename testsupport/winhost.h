// Test support for Windows test programs run under Wine:
//   - DebugCapture: records OutputDebugStringA/W text of this process
//   - TempFolder: a unique temporary folder, removed with its contents
//   - BinDir / RunProcess: find the build's programs and run them
//   - ClickMessageBox: answers a message box (by title) from a helper thread
//   - FindProcessWindow: a shown window of another process, by class
#ifndef VARNAK_TESTSUPPORT_WINHOST_H
#define VARNAK_TESTSUPPORT_WINHOST_H

#include <windows.h>

#include <future>
#include <mutex>
#include <string>
#include <vector>

namespace varnak::test {

// Records every debug-output line written in this process while alive.
// OutputDebugString raises DBG_PRINTEXCEPTION_C (or the _WIDE_ form), which a
// vectored handler sees before any debugger; the text is kept as GBK bytes.
class DebugCapture {
 public:
  DebugCapture();
  ~DebugCapture();
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;

  std::vector<std::string> Lines() const;
  bool Contains(const std::string& text) const;
  void Clear();

 private:
  static LONG CALLBACK Handler(EXCEPTION_POINTERS* info);
  void Add(std::string line);
  PVOID handle_ = nullptr;
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// The folder holding the running test program (and every built DLL).
std::string BinDir();

// A fresh folder under %TEMP%, deleted with everything in it on destruction.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }
  // Copies a file of BinDir() (or an absolute path) into the folder, under
  // new_name when given. Returns the copy's path, or "" on failure.
  std::string Copy(const std::string& source, const std::string& new_name = "") const;
  bool Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

bool ReadFileBytes(const std::string& path, std::string* bytes);

// Runs a command line, waiting up to timeout_ms. Returns the exit code, or
// -1 when it could not start, -2 on time-out (the process is then ended).
int RunProcess(const std::string& command_line, DWORD timeout_ms = 30000,
               const std::string& work_dir = "");

// Waits up to timeout_ms for a message box (dialog class "#32770") with the
// given UTF-16 title, clicks the button with control id `button` (IDOK,
// IDYES, IDNO...) and yields the box's text (control 0xFFFF) as UTF-16.
// Yields L"<none>" when no box appeared in time.
std::future<std::wstring> ClickMessageBox(const std::wstring& title, int button,
                                          DWORD timeout_ms = 10000);

// A visible top-level window of window class `window_class` that belongs to
// process pid, or null.
HWND FindProcessWindow(DWORD pid, const wchar_t* window_class);

}  // namespace varnak::test

#endif
