// Machine identity shared by the crash handler and the exports.
#ifndef VARNAK_ENGINE_CRASH_CRASH_INTERNAL_H
#define VARNAK_ENGINE_CRASH_CRASH_INTERNAL_H

#include <string>

namespace varnak::engine {

// "%X-%X-%X-%X-%X-%X" of the first adapter's hardware address.
bool ReadMacText(std::string* text);
// MD5 of that text as 32 lowercase hexadecimal characters.
bool ReadMachineId(std::string* id);

}  // namespace varnak::engine

#endif
