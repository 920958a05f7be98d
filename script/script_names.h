#pragma once
// Names of script sections and settings as the script data block indexes
// them: ASCII capitals folded to small letters, then a 32-bit hash of the
// UTF-16 code units (5381, h * 33 + c). The script module that builds the
// block uses the same two functions.
#include <cstdint>
#include <string>
#include <string_view>

namespace tqn {

// A copy with 'A' to 'Z' replaced by 'a' to 'z'; every other unit is kept.
std::wstring NormalizeName(std::wstring_view name);

// The hash of the normalised name; the empty name hashes to 0.
uint32_t HashName(std::wstring_view name);

}  // namespace tqn
