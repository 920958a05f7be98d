#pragma once
// The product's cipher tool: SEED-ECB with a length prefix, and RC4, under one
// built-in key. Every process that shares enciphered data with the launcher
// uses the same key material, mask bytes, byte order and padding.
#include <array>
#include <cstdint>

#include "crypt/byte_buffer.h"

namespace tqn {

class CryptTool {
public:
    CryptTool();
    virtual ~CryptTool();

    // Each returns non-zero on success, 0 on failure; the input is never
    // changed, out is written only on success, and in and out may be the
    // same buffer.
    //
    // Encrypt: SEED-ECB. A plaintext of n bytes gives n bytes when n is a
    // multiple of 16, else one byte holding n % 16 followed by the blocks,
    // the last one padded with zeros. Fails on empty input.
    int32_t Encrypt(const ByteBuffer& in, ByteBuffer& out) const;
    // Decrypt: the inverse. Fails on fewer than 16 bytes, on a length whose
    // remainder modulo 16 is neither 0 nor 1, and on a prefix byte of 0 or
    // above 16.
    int32_t Decrypt(const ByteBuffer& in, ByteBuffer& out) const;
    // Transform: RC4 under the 24-byte working key; its own inverse. Fails on
    // empty input.
    int32_t Transform(const ByteBuffer& in, ByteBuffer& out) const;

private:
    ByteBuffer keyMaterial_;  // 24 bytes, set once
};

// Keyed entry points under the product's conventions (little-endian words),
// exposed for known-answer tests and for the tool itself.
using SeedRoundKeys = std::array<uint32_t, 32>;
SeedRoundKeys SeedKeySchedule(const unsigned char key[16]);
void SeedEncryptBlock(const SeedRoundKeys& roundKeys, unsigned char block[16]);
void SeedDecryptBlock(const SeedRoundKeys& roundKeys, unsigned char block[16]);

// RC4 keyed with keyLength bytes, applied in place; no keystream is discarded.
// A null or empty key or null data does nothing.
void Rc4Apply(const unsigned char* key, size_t keyLength, unsigned char* data, size_t length);

}  // namespace tqn
