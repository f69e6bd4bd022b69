// Platform-free rules of the script library: how Lua numbers become handles,
// ids and wait times, the registry-root and special-folder name tables, and
// which local names a download may write to.
#ifndef VARNAK_SCRIPTING_SCRIPT_RULES_H
#define VARNAK_SCRIPTING_SCRIPT_RULES_H

#include <cstddef>
#include <cstdint>

namespace seskel {

// A handle or id from Lua: NaN and infinities are 0, otherwise truncated toward zero and
// wrapped modulo 2^32 (the value's low 32 bits, read as signed).
int32_t ToWrapped32(double value);

// A wait time from Lua: NaN and negatives are 0, huge values are clamped to
// 0x7FFFFFFF, so no value becomes the endless wait 0xFFFFFFFF.
uint32_t ToMilliseconds(double value);

// A list index from Lua: true and the index when value, truncated toward
// zero, lies in [0, count).
bool ToIndex(double value, size_t count, size_t* index);

// Registry roots a script may name (case-insensitive ASCII).
enum class RegistryRoot { kNone, kCurrentUser, kUsers, kLocalMachine, kClassesRoot, kCurrentConfig };
RegistryRoot FindRegistryRoot(const char* name);

// One row of the special-folder table: a name, its GBK alias (or null), the
// root and the value of the "Shell Folders" key that holds the path.
struct SpecialFolder {
  const char* name;
  const char* alias;
  RegistryRoot root;
  const char* value;
};
// The row whose name or alias equals `name` (ASCII letters in any case), or null.
const SpecialFolder* FindSpecialFolder(const char* name);
// The key, under the row's root, that holds every special folder.
extern const char kShellFoldersKey[];

// True when a download may write `name` below the host program's folder:
// not empty, not absolute (no ':' and no leading separator) and without a
// component made only of dots and spaces with two or more dots (".." and
// what Windows trims to it). GBK double-byte characters are skipped whole,
// so a trail byte 0x5C is never taken for a separator.
bool IsSafeLocalName(const char* name);

// True when text ends with a backslash that is a separator, not the trail
// byte of a GBK character.
bool EndsWithSeparator(const char* text);

// Offset of the last backslash separator in text (GBK aware), or -1.
ptrdiff_t LastSeparator(const char* text);

// The message routine's limit: longer formatted texts are replaced.
constexpr size_t kMessageMaxChars = 1055;

}  // namespace seskel

#endif
