#include "crypt/crypt_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "crypt/tests/test_bytes.h"

namespace {

using crypt_test::Bytes;
using crypt_test::FromHex;
using crypt_test::ToHex;

ByteBuffer Pattern(size_t length) {
    ByteBuffer bytes;
    for (size_t i = 0; i < length; ++i) bytes.push_back(static_cast<unsigned char>(i * 7 + 1));
    return bytes;
}

const ByteBuffer kSentinel = FromHex("DEADBEEF");

TEST(CryptTool, BuiltInKeyKnownAnswers) {
    // Computed with OpenSSL's SEED-ECB and RC4 from the masked key material,
    // words reversed as the product reads them: pins key, mask and format.
    const tqn::CryptTool tool;
    const struct {
        ByteBuffer plain;
        const char* cipher;
    } cases[] = {
        {Bytes("C:\\Program Files\\Example"), "08726A62CE99034FE9A4D528772554185E33CBDE0F7A0F6A9A75EE88E3C04740FD"},
        {FromHex("443A5CC39C62756E675CED959CEAB8805C6C6F672E747874"),
         "08E2D43683E76DB8BC8CA0F4FFF0B38E31FE5BADF2BD5A9717EB5111F643535356"},
    };
    for (const auto& c : cases) {
        ByteBuffer out;
        ASSERT_NE(tool.Encrypt(c.plain, out), 0);
        EXPECT_EQ(ToHex(out), c.cipher);
        ByteBuffer back;
        ASSERT_NE(tool.Decrypt(FromHex(c.cipher), back), 0);
        EXPECT_EQ(back, c.plain);
    }
    ByteBuffer stream;
    ASSERT_NE(tool.Transform(Bytes(std::string("Skin text \0\x01\xFF", 13)), stream), 0);
    EXPECT_EQ(ToHex(stream), "D7EC7E25E78A87145855F50B2A");
}

TEST(CryptTool, EncryptedLengthsAndPrefix) {
    // {plaintext length, encrypted length, prefix byte or -1 for none}
    const struct {
        size_t plain;
        size_t cipher;
        int prefix;
    } cases[] = {
        {1, 17, 1}, {15, 17, 15}, {16, 16, -1}, {17, 33, 1}, {31, 33, 15}, {32, 32, -1}, {33, 49, 1}, {100, 113, 4},
    };
    const tqn::CryptTool tool;
    for (const auto& c : cases) {
        ByteBuffer out;
        ASSERT_NE(tool.Encrypt(Pattern(c.plain), out), 0);
        EXPECT_EQ(out.size(), c.cipher) << c.plain;
        if (c.prefix >= 0) {
            EXPECT_EQ(out[0], c.prefix) << c.plain;
        }
        ByteBuffer back;
        ASSERT_NE(tool.Decrypt(out, back), 0);
        EXPECT_EQ(back, Pattern(c.plain));
    }
}

TEST(CryptTool, RoundTripsEveryShortLengthWithTrailingZeros) {
    // Trailing zero bytes survive both with and without a prefix.
    const tqn::CryptTool tool;
    for (size_t length = 1; length <= 70; ++length) {
        ByteBuffer plain = Pattern(length);
        plain.back() = 0;
        if (length > 1) plain[length - 2] = 0;
        ByteBuffer cipher, back;
        ASSERT_NE(tool.Encrypt(plain, cipher), 0);
        ASSERT_NE(tool.Decrypt(cipher, back), 0) << length;
        EXPECT_EQ(back, plain) << length;
    }
}

TEST(CryptTool, EcbEncryptsEqualBlocksEqually) {
    // Two equal blocks on block boundaries give equal cipher blocks, also behind a prefix.
    const tqn::CryptTool tool;
    const ByteBuffer block = Pattern(16);
    ByteBuffer plain = block;
    plain.insert(plain.end(), block.begin(), block.end());
    ByteBuffer out;
    ASSERT_NE(tool.Encrypt(plain, out), 0);
    ASSERT_EQ(out.size(), 32u);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 16, out.begin() + 16));
    EXPECT_NE(ToHex(out.data(), 16), ToHex(block));

    plain.push_back(9);
    ASSERT_NE(tool.Encrypt(plain, out), 0);
    ASSERT_EQ(out.size(), 49u);
    EXPECT_TRUE(std::equal(out.begin() + 1, out.begin() + 17, out.begin() + 17));
}

TEST(CryptTool, EmptyInputFailsAndLeavesOutput) {
    const tqn::CryptTool tool;
    ByteBuffer out = kSentinel;
    EXPECT_EQ(tool.Encrypt(ByteBuffer(), out), 0);
    EXPECT_EQ(tool.Transform(ByteBuffer(), out), 0);
    EXPECT_EQ(tool.Decrypt(ByteBuffer(), out), 0);
    EXPECT_EQ(out, kSentinel);
}

TEST(CryptTool, DecryptRejectsMalformedLengths) {
    // 0..15 bytes, and every length whose remainder modulo 16 is neither 0 nor 1.
    const tqn::CryptTool tool;
    for (size_t length = 0; length <= 80; ++length) {
        if (length >= 16 && (length % 16 == 0 || length % 16 == 1)) continue;
        ByteBuffer in(length, 1);
        ByteBuffer out = kSentinel;
        EXPECT_EQ(tool.Decrypt(in, out), 0) << length;
        EXPECT_EQ(out, kSentinel) << length;
    }
}

TEST(CryptTool, DecryptChecksThePrefixByte) {
    // {length, prefix, accepted, plaintext length}: a prefix must name 1..16 bytes of the last block.
    const struct {
        size_t length;
        unsigned char prefix;
        bool accepted;
        size_t plain;
    } cases[] = {
        {17, 0, false, 0},   {17, 1, true, 1},    {17, 15, true, 15},  {17, 16, true, 16},
        {17, 17, false, 0},  {17, 255, false, 0}, {33, 0, false, 0},   {33, 3, true, 19},
        {33, 16, true, 32},  {33, 17, false, 0},  {49, 0, false, 0},   {49, 200, false, 0},
        {16, 0, true, 16},   {32, 99, true, 32},
    };
    const tqn::CryptTool tool;
    for (const auto& c : cases) {
        ByteBuffer in = Pattern(c.length);
        in[0] = c.prefix;
        ByteBuffer out = kSentinel;
        const bool accepted = tool.Decrypt(in, out) != 0;
        EXPECT_EQ(accepted, c.accepted) << c.length << "/" << int(c.prefix);
        EXPECT_EQ(out.size(), c.accepted ? c.plain : kSentinel.size()) << c.length << "/" << int(c.prefix);
    }
}

TEST(CryptTool, InputUnchangedAndMayBeTheOutput) {
    const tqn::CryptTool tool;
    const ByteBuffer plain = Pattern(21);
    ByteBuffer in = plain;
    ByteBuffer out;
    ASSERT_NE(tool.Encrypt(in, out), 0);
    EXPECT_EQ(in, plain);
    // The same buffer on both sides.
    ByteBuffer same = plain;
    ASSERT_NE(tool.Encrypt(same, same), 0);
    EXPECT_EQ(same, out);
    ASSERT_NE(tool.Decrypt(same, same), 0);
    EXPECT_EQ(same, plain);
    ASSERT_NE(tool.Transform(same, same), 0);
    ASSERT_NE(tool.Transform(same, same), 0);
    EXPECT_EQ(same, plain);
}

TEST(CryptTool, TransformIsItsOwnInverse) {
    const tqn::CryptTool tool;
    for (size_t length : {1u, 16u, 300u}) {
        const ByteBuffer plain = Pattern(length);
        ByteBuffer once, twice;
        ASSERT_NE(tool.Transform(plain, once), 0);
        EXPECT_EQ(once.size(), length);
        EXPECT_NE(once, plain);
        ASSERT_NE(tool.Transform(once, twice), 0);
        EXPECT_EQ(twice, plain);
    }
}

}  // namespace
