// Known answers for the keyed SEED block, RC4 and MD5 entry points.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "crypt/crypt_tool.h"
#include "crypt/md5.h"
#include "crypt/tests/test_bytes.h"

namespace {

using crypt_test::FromHex;
using crypt_test::ToHex;

// The product reads key and blocks as little-endian words: standard SEED
// vectors apply after reversing every 4-byte group.
ByteBuffer ReverseWords(ByteBuffer bytes) {
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        std::swap(bytes[i], bytes[i + 3]);
        std::swap(bytes[i + 1], bytes[i + 2]);
    }
    return bytes;
}

struct SeedVector {
    const char* key;
    const char* plain;
    const char* cipher;
};

// Standard byte order. The first four are RFC 4269 Appendix B; the rest were
// made with OpenSSL 3.0 on random keys and blocks:
//   openssl enc -provider legacy -provider default -seed-ecb -K <key> -nopad
const SeedVector kSeedVectors[] = {
    {"00000000000000000000000000000000", "000102030405060708090A0B0C0D0E0F", "5EBAC6E0054E166819AFF1CC6D346CDB"},
    {"000102030405060708090A0B0C0D0E0F", "00000000000000000000000000000000", "C11F22F20140505084483597E4370F43"},
    {"4706480851E61BE85D74BFB3FD956185", "83A2F8A288641FB9A4E9A5CC2F131C7D", "EE54D13EBCAE706D226BC3142CD40D4A"},
    {"28DBC3BC49FFD87DCFA509B11D422BE7", "B41E6BE2EBA84A148E2EED84593C5EC7", "9B9B7BFCD1813CB95D0B3618F40F5122"},
    {"1B38253CAF2218D84E9F9746237F6AB5", "1B82A723327886ED77493F035A3820AB", "712FD4260F34B44E3252D31AE2381B6F"},
    {"993B392D0E4B31D8B2B6F56E7A6F87BA", "F7319500195D64F826E274491340CCF2", "A207FE54D89ADD670E77F0EAADA0AA9D"},
    {"F31C3B788E2431A32EC8D252F9CBED50", "CACC95A3F950C5B58B41E7C4F0AE89FB", "3AFA7527BA4E3777B9445E4D8D3BFDC0"},
    {"ED920E13F0EB7535080E263552B5418A", "EA21D978F8DD8E81CB153A0A06B4EFAC", "EC9F0F076F033A62B206E8C7D646D08A"},
    {"5AB43CAE46F0E3494B2AFA035577952E", "901730A55C192940B03D141697A155FF", "1EBF0A652E24B450E7E2199A25D7F167"},
    {"7F0A9A01F13A521C86258949ECE3F2BE", "7ED9F4558712B58421B500930105F86E", "44CEC92704883CD0E816197C80494ACE"},
};

TEST(SeedKnownAnswer, EncryptsAndDecryptsEveryVector) {
    for (const auto& v : kSeedVectors) {
        const ByteBuffer key = ReverseWords(FromHex(v.key));
        const ByteBuffer plain = ReverseWords(FromHex(v.plain));
        const ByteBuffer cipher = ReverseWords(FromHex(v.cipher));
        const tqn::SeedRoundKeys roundKeys = tqn::SeedKeySchedule(key.data());

        ByteBuffer block = plain;
        tqn::SeedEncryptBlock(roundKeys, block.data());
        EXPECT_EQ(ToHex(block), ToHex(cipher)) << v.key;

        block = cipher;
        tqn::SeedDecryptBlock(roundKeys, block.data());
        EXPECT_EQ(ToHex(block), ToHex(plain)) << v.key;
    }
}

TEST(SeedKnownAnswer, FirstVectorInProductByteOrder) {
    // The reversal written out once, so the helper above cannot hide a mistake.
    const ByteBuffer key(16, 0);
    ByteBuffer block = FromHex("03020100070605040B0A09080F0E0D0C");
    tqn::SeedEncryptBlock(tqn::SeedKeySchedule(key.data()), block.data());
    EXPECT_EQ(ToHex(block), "E0C6BA5E68164E05CCF1AF19DB6C346D");
}

TEST(SeedKnownAnswer, ChainOverManyKeys) {
    // 500 steps of: block = E_key(block); key ^= block, in product byte order,
    // from key 00..00 and block 000102..0F; walks every table entry many times.
    // The end values were computed the same way with OpenSSL (words reversed).
    ByteBuffer key(16, 0);
    ByteBuffer block = FromHex("000102030405060708090A0B0C0D0E0F");
    for (int step = 0; step < 500; ++step) {
        tqn::SeedEncryptBlock(tqn::SeedKeySchedule(key.data()), block.data());
        for (size_t i = 0; i < 16; ++i) key[i] ^= block[i];
    }
    EXPECT_EQ(ToHex(key), "FB4DA432AA160624FBB0CF26D7DB36A9");
    EXPECT_EQ(ToHex(block), "CA8B68343E64004AF214175ABF3A9049");
    // And back again by decryption.
    for (int step = 0; step < 500; ++step) {
        for (size_t i = 0; i < 16; ++i) key[i] ^= block[i];
        tqn::SeedDecryptBlock(tqn::SeedKeySchedule(key.data()), block.data());
    }
    EXPECT_EQ(ToHex(key), "00000000000000000000000000000000");
    EXPECT_EQ(ToHex(block), "000102030405060708090A0B0C0D0E0F");
}

TEST(Rc4KnownAnswer, KeystreamFromOffsetZero) {
    // RFC 6229: RC4 of zero bytes is the keystream.
    const struct {
        const char* key;
        const char* keystream;
    } cases[] = {
        {"0102030405", "B2396305F03DC027CCC3524A0A1118A8"},
        {"0102030405060708090A0B0C0D0E0F10", "9AC7CC9A609D1EF7B2932899CDE41B97"},
    };
    for (const auto& c : cases) {
        const ByteBuffer key = FromHex(c.key);
        ByteBuffer data(16, 0);
        tqn::Rc4Apply(key.data(), key.size(), data.data(), data.size());
        EXPECT_EQ(ToHex(data), c.keystream) << c.key;
        // Applying it again restores the zeros.
        tqn::Rc4Apply(key.data(), key.size(), data.data(), data.size());
        EXPECT_EQ(data, ByteBuffer(16, 0));
    }
}

TEST(Md5KnownAnswer, Rfc1321Suite) {
    // RFC 1321 A.5, plus lengths around the padding boundary (checked with md5sum).
    const struct {
        std::string input;
        const char* digest;
    } cases[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
        {std::string(55, 'a'), "EF1772B6DFF9A122358552954AD0DF65"},
        {std::string(56, 'a'), "3B0C8AC703F828B04C6C197006D17218"},
        {std::string(64, 'a'), "014842D480B571495A4A0363793F7367"},
    };
    for (const auto& c : cases) {
        const tqn::Md5Digest digest = tqn::Md5(c.input.data(), c.input.size());
        EXPECT_EQ(ToHex(digest.data(), digest.size()), c.digest) << c.input.size();
    }
}

}  // namespace
