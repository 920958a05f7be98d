#pragma once
// The skin buffer as the launcher reads it. The string module writes it and
// other product processes share it, so every count, offset and length in it
// is checked against the bytes actually mapped before it is followed.
//
// Layout (little-endian): L (64-bit, the bytes after this field), 12 bytes
// the launcher skips, N (32-bit), N entries of {flag, key, offset} (32-bit
// each), then the text area. A text record at text area + offset: 4 skipped
// bytes, length T (32-bit), T bytes of RC4-transformed UTF-16LE text.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tqn {

inline constexpr size_t kSkinHeaderSize = 24;
inline constexpr size_t kSkinEntrySize = 12;

// The djb2 key of an identifier over its UTF-16 units, letter case kept; the
// empty identifier gives 0.
uint32_t SkinStringKey(std::wstring_view id);

// Whether a buffer claiming L bytes after its first field fits an object of
// objectSize bytes (no wrap for L near 2^64).
bool SkinBufferSizeAcceptable(uint64_t claimedLength, uint64_t objectSize);

// Where the entries and the text area of a mapped buffer lie.
struct SkinLayout {
    uint32_t entryCount = 0;  // only whole entries within the bytes
    size_t textArea = 0;      // from the start of the buffer
};
SkinLayout ReadSkinLayout(std::span<const uint8_t> buffer);

// The text of the first active entry (flag 0) with key. False, text empty,
// when no entry matches or the matching entry's text is missing (length 0),
// lies outside the bytes, or does not transform.
bool FindSkinText(std::span<const uint8_t> buffer, const SkinLayout& layout, uint32_t key, std::wstring& text);

// Identifiers containing "IDS_" anywhere are looked up; others are their own text.
bool IsSkinIdentifier(std::wstring_view id);

// A found text's line breaks: every backslash + n becomes a line feed, then
// every backslash + r a carriage return.
std::wstring ExpandSkinLineBreaks(std::wstring text);

// The path variable's value with every ".dat" made ".skn".
std::wstring SkinPathOf(std::wstring path);

}  // namespace tqn
