#pragma once
// A portable UTF-8 codec for wide text: UTF-16 where wchar_t has 16 bits,
// code points where it has 32. What cannot be coded becomes U+FFFD.
#include <cstddef>
#include <string>
#include <string_view>

namespace tqn {

// UTF-8 bytes of count wide characters.
std::string EncodeUtf8(const wchar_t* text, size_t count);
// Wide text of count UTF-8 bytes; each ill-formed piece (the longest start of
// a valid sequence, or one byte) becomes one U+FFFD.
std::wstring DecodeUtf8(const char* text, size_t count);
// For readers of files that must be well formed: UTF-8 to UTF-16 code units,
// one per element also where wchar_t has 32 bits. False (units cleared) on any
// ill-formed sequence: overlong forms, surrogates, values above U+10FFFF.
bool DecodeUtf8Strict(std::string_view bytes, std::wstring& units);

}  // namespace tqn
