// File helpers of the engine.
#ifndef VARNAK_ENGINE_FRAME_FILE_IO_H
#define VARNAK_ENGINE_FRAME_FILE_IO_H

#include <cstdint>
#include <vector>

namespace varnak::engine {

// Reads a whole file opened for shared reading. False when it cannot be
// opened or read, is empty, or does not fit in memory.
bool ReadWholeFile(const char* name, std::vector<uint8_t>* bytes);

// Writes bytes to a temporary file beside `target` and moves it over the
// target on success, so the target holds either the whole result or stays
// as it was (also when source and target are the same file).
bool ReplaceFileWith(const char* target, const std::vector<uint8_t>& bytes);

}  // namespace varnak::engine

#endif
