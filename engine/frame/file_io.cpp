// Whole-file reading and replace-by-rename writing shared by the exports
// that handle files.
#include "engine/frame/file_io.h"

#include <algorithm>
#include <limits>

#include "common/win_handles.h"
#include "engine/core/path_text.h"
#include "engine/frame/engine.h"

namespace varnak::engine {

// Reads a whole file opened for shared reading. False when it cannot be
// opened or read, is empty, or does not fit in memory.
bool ReadWholeFile(const char* name, std::vector<uint8_t>* bytes) {
  if (FittingLength(name, ORLIMB_PATH_SIZE) <= 0) return false;
  unique_file file(CreateFileA(NativeFilePath(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || uint64_t(size.QuadPart) > 0xFFFFFFFFull ||
      uint64_t(size.QuadPart) > std::numeric_limits<size_t>::max() / 2)
    return false;
  try {
    bytes->resize(static_cast<size_t>(size.QuadPart));
  } catch (...) {
    return false;
  }
  size_t done = 0;
  while (done < bytes->size()) {
    DWORD want = static_cast<DWORD>(std::min<size_t>(bytes->size() - done, 1u << 24));
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes->data() + done, want, &got, nullptr) || got == 0) return false;
    done += got;
  }
  return true;
}

// Writes bytes to a temporary file beside `target` and moves it over the
// target on success, so the target holds either the whole result or stays
// as it was (also when source and target are the same file).
bool ReplaceFileWith(const char* target, const std::vector<uint8_t>& bytes) {
  if (FittingLength(target, ORLIMB_PATH_SIZE) <= 0) return false;
  std::string folder = GbkParentFolder(target);
  if (folder.empty()) folder = ".";
  char temp[MAX_PATH] = {};
  if (!GetTempFileNameA(folder.c_str(), "vzp", 0, temp)) return false;
  bool ok = false;
  {
    unique_file file(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
      ok = true;
      size_t done = 0;
      while (ok && done < bytes.size()) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        DWORD wrote = 0;
        ok = WriteFile(file.get(), bytes.data() + done, want, &wrote, nullptr) && wrote == want;
        done += wrote;
      }
      ok = ok && FlushFileBuffers(file.get());
    }
  }
  if (ok) ok = MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
  if (!ok) DeleteFileA(temp);
  return ok;
}


}  // namespace varnak::engine
