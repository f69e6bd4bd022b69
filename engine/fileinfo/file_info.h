// File information shared with other engine families.
#ifndef VARNAK_ENGINE_FILEINFO_FILE_INFO_H
#define VARNAK_ENGINE_FILEINFO_FILE_INFO_H

#include <string>

namespace varnak::engine {

// The simple display name of the certificate that signed the file's embedded
// signature, as ANSI cut to at most 259 bytes on a character boundary.
// False when there is none.
bool ReadSignerName(const char* file, std::string* name);

// A string of the file's version resource ("CompanyName", ...), at most 259
// bytes, cut on a character boundary. False when there is none.
bool ReadVersionString(const char* file, const char* key, std::string* value);

}  // namespace varnak::engine

#endif
