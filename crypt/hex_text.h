#pragma once
// Bytes written as hexadecimal wide text, and back.
#include <cstddef>
#include <string>

#include "crypt/byte_buffer.h"

namespace tqn {

// Appends two upper-case hex digits per byte, in order, without separators.
void AppendHexUpper(const unsigned char* bytes, size_t count, std::wstring& output);

// One byte from two characters, read as a base-16 number the way the runtime's
// wcstol reads the pair: a pair that does not start with a hex digit is 0, a
// pair whose second character is not a hex digit is the value of the first.
unsigned char HexPairByte(wchar_t first, wchar_t second);

// length / 2 bytes, each from one pair; a trailing odd character is ignored.
ByteBuffer HexTextToBytes(const std::wstring& hex);

}  // namespace tqn
