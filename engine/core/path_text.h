// Path text in GBK: separators are found only at character starts, because
// the trail byte of a double-byte character may be 0x5C ('\\'). Platform-free.
#ifndef VARNAK_ENGINE_CORE_PATH_TEXT_H
#define VARNAK_ENGINE_CORE_PATH_TEXT_H

#include <string>

namespace varnak::engine {

// Offset of the last '\\' or '/' that starts a character, or npos.
size_t GbkLastSeparator(const std::string& path);
// The part after the last separator (the whole text when there is none).
std::string GbkFileName(const std::string& path);
// The text before the last separator ("" when there is none).
std::string GbkParentFolder(const std::string& path);

}  // namespace varnak::engine

#endif
