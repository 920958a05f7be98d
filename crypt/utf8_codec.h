#pragma once
// A portable UTF-8 codec for wide text: UTF-16 where wchar_t has 16 bits,
// code points where it has 32. What cannot be coded becomes U+FFFD.
#include <cstddef>
#include <string>

namespace tqn {

// UTF-8 bytes of count wide characters.
std::string EncodeUtf8(const wchar_t* text, size_t count);
// Wide text of count UTF-8 bytes; each ill-formed piece (the longest start of
// a valid sequence, or one byte) becomes one U+FFFD.
std::wstring DecodeUtf8(const char* text, size_t count);

}  // namespace tqn
