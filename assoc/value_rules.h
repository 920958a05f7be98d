#pragma once
// What the registry tool makes of the raw bytes of a value. No Windows needed.
#include <cstdint>
#include <string>

#include "crypt/byte_buffer.h"

namespace tqn {

// REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ.
bool IsStringValueType(uint32_t type);

// ValueEquals' rule: a REG_SZ or REG_EXPAND_SZ text (up to its first NUL,
// trimmed, references not expanded) or a REG_MULTI_SZ whose inner NULs read as
// line feeds (not trimmed), compared case-insensitively; other types never equal.
bool RegistryDataEquals(uint32_t type, const ByteBuffer& data, const std::wstring& expected);

// ReadStringValue's text of a string value: up to its first NUL, where a
// multi-string's NULs at the positions 0 to n-3 (n characters; position 0
// always) read as line feeds, so that "a", "b" reads as "a\nb".
std::wstring StringValueText(uint32_t type, const ByteBuffer& data);

}  // namespace tqn
