#pragma once
// Hex helpers for the crypt tests.
#include <cstdio>
#include <string>

#include "crypt/byte_buffer.h"

namespace crypt_test {

inline ByteBuffer FromHex(const std::string& hex) {
    ByteBuffer bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        unsigned value = 0;
        std::sscanf(hex.c_str() + i, "%2x", &value);
        bytes.push_back(static_cast<unsigned char>(value));
    }
    return bytes;
}

inline std::string ToHex(const unsigned char* bytes, size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (size_t i = 0; i < count; ++i) {
        hex.push_back(kDigits[bytes[i] >> 4]);
        hex.push_back(kDigits[bytes[i] & 15]);
    }
    return hex;
}

inline std::string ToHex(const ByteBuffer& bytes) { return ToHex(bytes.data(), bytes.size()); }

inline ByteBuffer Bytes(const std::string& text) { return ByteBuffer(text.begin(), text.end()); }

}  // namespace crypt_test
