// Whole-buffer zlib compression and bounded decompression behind the
// engine's Zip and UnZip. A compressed file is one zlib stream with no size
// stored beside it, so decompression is bounded by a ratio to the source
// size. Platform-free.
#ifndef VARNAK_ENGINE_CORE_ZLIB_FRAME_H
#define VARNAK_ENGINE_CORE_ZLIB_FRAME_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnak::engine {

// zlib's one-shot compression at the default level. False when zlib fails
// or memory runs out.
bool ZlibCompress(const uint8_t* data, size_t length, std::vector<uint8_t>* out);

enum class InflateResult { kOk, kTooLarge, kBadData, kNoMemory };

// The largest decompressed size accepted, as a multiple of the compressed size.
constexpr uint64_t kMaxInflateRatio = 10;

// Decompresses one zlib stream whose output may be at most
// kMaxInflateRatio * length bytes (computed in 64 bits). Bytes after the end
// of the stream are ignored, as zlib's one-shot routine ignores them.
InflateResult ZlibInflateBounded(const uint8_t* data, size_t length, std::vector<uint8_t>* out);

// The same with an explicit bound on the decompressed size in bytes.
InflateResult ZlibInflateLimited(const uint8_t* data, size_t length, uint64_t max_output, std::vector<uint8_t>* out);

}  // namespace varnak::engine

#endif
