#pragma once
// The skin buffer the launcher maps by name: every text of a skin, enciphered
// with the product's cipher tool. Layout (little-endian):
//   u64 L, the number of bytes after this field (the buffer is L + 8 bytes)
//   12 reserved bytes (zero), u32 entry count N
//   N entries {u32 flag (0 active, 1 withdrawn), u32 key, u32 offset of the
//              text record from the start of the text area}
//   the text area: per entry {u32 reserved (zero), u32 length T, T bytes}.
// The T bytes are the text as UTF-16LE and a NUL unit, through
// tqn::CryptTool::Transform; a missing (empty) text has T = 0 and no bytes.
// Entries and records follow the skin's order, repeats included.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "kit/strings/skin_file.h"

namespace skn {

inline constexpr size_t kBufferHeaderSize = 24;
inline constexpr size_t kEntrySize = 12;
inline constexpr size_t kRecordHeaderSize = 8;

inline constexpr uint32_t kActiveFlag = 0;
inline constexpr uint32_t kWithdrawnFlag = 1;

// The buffer for a parsed skin; empty when a text cannot be enciphered or the
// text area would not fit 32-bit offsets.
std::vector<uint8_t> BuildSkinBuffer(const Skin& skin);

}  // namespace skn
