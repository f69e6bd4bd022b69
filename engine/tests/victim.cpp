// A victim process for the engine tests: sleeps for the milliseconds given
// as its first argument (default one minute) and exits with code 0. Tests
// copy it under unique names.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  Sleep(argc > 1 ? static_cast<DWORD>(strtoul(argv[1], nullptr, 10)) : 60000);
  return 0;
}
