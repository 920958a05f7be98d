#pragma once
// What the kit's writer tests read their output with, independently of the
// writers: little-endian fields read only within the bytes, and the expected
// UTF-16LE form of a text. Portable, header-only.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "crypt/byte_buffer.h"

namespace tqn::test {

// The n-byte little-endian value at an offset; a read past the end fails the test.
inline uint64_t LittleEndianAt(const std::vector<uint8_t>& bytes, uint64_t at, size_t n) {
    if (at > bytes.size() || bytes.size() - at < n) {
        ADD_FAILURE() << "read past the end of the bytes at " << at;
        return 0;
    }
    uint64_t value = 0;
    for (size_t i = 0; i < n; ++i) value |= uint64_t{bytes[at + i]} << (8 * i);
    return value;
}

// UTF-16LE units and a NUL unit.
inline ByteBuffer Utf16LeWithNul(const std::u16string& text) {
    ByteBuffer bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

}  // namespace tqn::test
