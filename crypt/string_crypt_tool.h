#pragma once
// Wide text to SEED-encrypted UTF-8 written as upper-case hex, and back: the
// form in which paths are kept in the product's shared memory.
#include <string>

#include "crypt/byte_buffer.h"

namespace tqn {

class StringCryptToolW {
public:
    virtual ~StringCryptToolW() = default;

    bool EncryptToBytes(const std::wstring& text, ByteBuffer& output) const;
    // Appends the hex digits; output unchanged on failure.
    bool EncryptToHex(const std::wstring& text, std::wstring& output) const;
    // True whenever decryption succeeds; output replaced only by a non-empty,
    // convertible plaintext (cut at its first zero byte).
    bool DecryptFromBytes(const ByteBuffer& bytes, std::wstring& output) const;
    bool DecryptFromHex(const std::wstring& hex, std::wstring& output) const;
};

}  // namespace tqn
