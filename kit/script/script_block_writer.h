#pragma once
// The script data block the launcher reads: every set of every section, its
// value enciphered with the product's cipher tool. Layout (little-endian,
// every count, hash and offset 64-bit):
//   total size, section count N,
//   N records {entry count, section-name hash, offset of the first entry},
//   then each section's entries back to back:
//   {setting-name hash, value length L, L bytes of enciphered value}.
// A value is its UTF-16LE text and a NUL unit, enciphered; an empty value has
// L = 0 and no bytes. Hashes are tqn::HashName, zero-extended.
#include <cstdint>
#include <vector>

#include "kit/script/script_language.h"

namespace scd {

inline constexpr size_t kBlockHeaderSize = 16;
inline constexpr size_t kSectionRecordSize = 24;
inline constexpr size_t kEntryHeaderSize = 16;

// The block for a parsed script; empty when a value cannot be enciphered.
std::vector<uint8_t> BuildScriptBlock(const Script& script);

}  // namespace scd
