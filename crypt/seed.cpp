// SEED (128-bit block, 128-bit key, 16 rounds) with the product's byte order:
// key and blocks are read and written as little-endian 32-bit words.
#include <cstdint>

#include "crypt/crypt_tool.h"

namespace tqn {

namespace {

// The two 8-bit S-boxes are affine maps of powers in GF(2^8) modulo
// x^8 + x^6 + x^5 + x + 1: S1(x) = A1 * x^247 + 0xA9, S2(x) = A2 * x^251 + 0x38.
// The matrices are given by their columns (the image of bit i is column[i]).
constexpr unsigned kFieldPolynomial = 0x163;
constexpr uint8_t kAffine1[8] = {0x2C, 0xD0, 0x69, 0xC2, 0x41, 0x44, 0x58, 0xE2};
constexpr uint8_t kAffine2[8] = {0xD0, 0x2A, 0xE1, 0x2C, 0x21, 0x30, 0xA2, 0x6C};

// Powers through exponent and logarithm tables of the generator x (0x02),
// which keeps the compile-time work small.
struct FieldTables {
    uint8_t exp[255] = {};
    uint8_t log[256] = {};
};

constexpr FieldTables MakeFieldTables() {
    FieldTables tables;
    unsigned value = 1;
    for (unsigned i = 0; i < 255; ++i) {
        tables.exp[i] = static_cast<uint8_t>(value);
        tables.log[value] = static_cast<uint8_t>(i);
        value <<= 1;
        if (value & 0x100) value ^= kFieldPolynomial;
    }
    return tables;
}

constexpr FieldTables kField = MakeFieldTables();

constexpr uint8_t FieldPower(uint8_t x, unsigned exponent) {
    if (x == 0) return 0;
    return kField.exp[(kField.log[x] * exponent) % 255];
}

constexpr uint8_t Affine(const uint8_t (&columns)[8], uint8_t value, uint8_t constant) {
    uint8_t result = constant;
    for (int bit = 0; bit < 8; ++bit) {
        if (value & (1u << bit)) result ^= columns[bit];
    }
    return result;
}

constexpr uint8_t SBox1(uint8_t x) { return Affine(kAffine1, FieldPower(x, 247), 0xA9); }
constexpr uint8_t SBox2(uint8_t x) { return Affine(kAffine2, FieldPower(x, 251), 0x38); }

// SSk spreads an S-box output over four bytes, byte j masked with
// kMasks[(j + k) % 4]; SS0 and SS2 use S1, SS1 and SS3 use S2.
constexpr uint8_t kMasks[4] = {0xFC, 0xF3, 0xCF, 0x3F};

struct SeedTables {
    uint32_t ss[4][256] = {};
};

constexpr SeedTables MakeTables() {
    uint8_t sbox1[256] = {};
    uint8_t sbox2[256] = {};
    for (unsigned x = 0; x < 256; ++x) {
        sbox1[x] = SBox1(static_cast<uint8_t>(x));
        sbox2[x] = SBox2(static_cast<uint8_t>(x));
    }
    SeedTables tables;
    for (unsigned k = 0; k < 4; ++k) {
        for (unsigned x = 0; x < 256; ++x) {
            const uint8_t s = (k % 2 == 0) ? sbox1[x] : sbox2[x];
            uint32_t word = 0;
            for (unsigned j = 0; j < 4; ++j) {
                word |= static_cast<uint32_t>(s & kMasks[(j + k) % 4]) << (8 * j);
            }
            tables.ss[k][x] = word;
        }
    }
    return tables;
}

constexpr SeedTables kTables = MakeTables();

// Spot checks of the generated tables against the published first entries.
static_assert(kTables.ss[0][0] == 0x2989A1A8 && kTables.ss[0][1] == 0x05858184);
static_assert(kTables.ss[1][0] == 0x38380830 && kTables.ss[2][0] == 0xA1A82989);
static_assert(kTables.ss[3][0] == 0x08303838);

constexpr uint32_t G(uint32_t x) {
    return kTables.ss[3][(x >> 24) & 0xFF] ^ kTables.ss[2][(x >> 16) & 0xFF] ^
           kTables.ss[1][(x >> 8) & 0xFF] ^ kTables.ss[0][x & 0xFF];
}

// Key constants: the golden ratio, rotated left by one bit per round.
constexpr uint32_t KeyConstant(unsigned round) {
    uint32_t kc = 0x9E3779B9;
    for (unsigned i = 0; i < round; ++i) kc = (kc << 1) | (kc >> 31);
    return kc;
}

uint32_t LoadLittleEndian(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

void StoreLittleEndian(uint32_t word, unsigned char* bytes) {
    bytes[0] = static_cast<unsigned char>(word);
    bytes[1] = static_cast<unsigned char>(word >> 8);
    bytes[2] = static_cast<unsigned char>(word >> 16);
    bytes[3] = static_cast<unsigned char>(word >> 24);
}

// The round function F on the right half (r0, r1) with round keys k0, k1.
void RoundFunction(uint32_t k0, uint32_t k1, uint32_t r0, uint32_t r1, uint32_t& out0, uint32_t& out1) {
    uint32_t t0 = r0 ^ k0;
    uint32_t t1 = r1 ^ k1;
    t1 ^= t0;
    t1 = G(t1);
    t0 += t1;
    t0 = G(t0);
    t1 += t0;
    t1 = G(t1);
    t0 += t1;
    out0 = t0;
    out1 = t1;
}

// The Feistel network; step is +2 for encryption, -2 for decryption.
void Crypt(const SeedRoundKeys& roundKeys, unsigned char block[16], bool decrypt) {
    uint32_t l0 = LoadLittleEndian(block);
    uint32_t l1 = LoadLittleEndian(block + 4);
    uint32_t r0 = LoadLittleEndian(block + 8);
    uint32_t r1 = LoadLittleEndian(block + 12);
    for (unsigned round = 0; round < 16; ++round) {
        const unsigned index = decrypt ? 2 * (15 - round) : 2 * round;
        uint32_t t0 = 0;
        uint32_t t1 = 0;
        RoundFunction(roundKeys[index], roundKeys[index + 1], r0, r1, t0, t1);
        const uint32_t newR0 = l0 ^ t0;
        const uint32_t newR1 = l1 ^ t1;
        l0 = r0;
        l1 = r1;
        r0 = newR0;
        r1 = newR1;
    }
    // The last round does not swap the halves.
    StoreLittleEndian(r0, block);
    StoreLittleEndian(r1, block + 4);
    StoreLittleEndian(l0, block + 8);
    StoreLittleEndian(l1, block + 12);
}

}  // namespace

SeedRoundKeys SeedKeySchedule(const unsigned char key[16]) {
    uint32_t w0 = LoadLittleEndian(key);
    uint32_t w1 = LoadLittleEndian(key + 4);
    uint32_t w2 = LoadLittleEndian(key + 8);
    uint32_t w3 = LoadLittleEndian(key + 12);
    SeedRoundKeys roundKeys{};
    for (unsigned round = 0; round < 16; ++round) {
        const uint32_t kc = KeyConstant(round);
        roundKeys[2 * round] = G(w0 + w2 - kc);
        roundKeys[2 * round + 1] = G(w1 - w3 + kc);
        if (round % 2 == 0) {
            // W0||W1 rotated right by 8 bits.
            const uint32_t t = w0;
            w0 = (w0 >> 8) | (w1 << 24);
            w1 = (w1 >> 8) | (t << 24);
        } else {
            // W2||W3 rotated left by 8 bits.
            const uint32_t t = w2;
            w2 = (w2 << 8) | (w3 >> 24);
            w3 = (w3 << 8) | (t >> 24);
        }
    }
    return roundKeys;
}

void SeedEncryptBlock(const SeedRoundKeys& roundKeys, unsigned char block[16]) { Crypt(roundKeys, block, false); }

void SeedDecryptBlock(const SeedRoundKeys& roundKeys, unsigned char block[16]) { Crypt(roundKeys, block, true); }

}  // namespace tqn
