// Shared helpers of the engine's Windows tests: binding exports by name from
// the real Orlimb.dll, fixture paths, victim processes and waiting.
#ifndef VARNAK_ENGINE_TESTS_ENGINE_TEST_UTIL_H
#define VARNAK_ENGINE_TESTS_ENGINE_TEST_UTIL_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/orlimb_api.h"
#include "testsupport/winhost.h"

namespace varnak::test {

// Orlimb.dll of the folder this test runs from, loaded once.
HMODULE Engine();
FARPROC EngineProc(const char* name);
template <typename F>
F Bind(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(EngineProc(name)));
}
#define ORLIMB(name) ::varnak::test::Bind<name##_fn>(#name)

// The build's bin folder (the tests themselves run from a private copy).
std::string BuildBin();
// A file made by the fixture step: bin\engine_fixtures\<name>.
std::string Fixture(const std::string& name);
// A Linux path as Wine sees it (drive Z:).
std::string WinePath(const std::string& unix_path);

bool WaitUntil(const std::function<bool()>& done, DWORD timeout_ms);

// Copies of the victim program under one unique name, started on request
// and ended (if still running) on destruction.
class Victims {
 public:
  explicit Victims(const std::string& tag);
  ~Victims();
  const std::string& name() const { return name_; }  // e.g. "zv1234tag.exe"
  const std::string& path() const { return path_; }
  // Starts one more; returns its process id (0 on failure).
  DWORD Start(DWORD sleep_ms = 60000, bool window = false);
  std::vector<HANDLE>& handles() { return handles_; }
  bool Ended(size_t i, DWORD wait_ms = 0) const;
  // Closes the test's handle of victim i: an ended process then disappears.
  void Release(size_t i);

 private:
  TempFolder folder_;
  std::string name_, path_;
  std::vector<HANDLE> handles_;
};

std::string Lower(std::string s);

}  // namespace varnak::test

#endif
