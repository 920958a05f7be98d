#include "crypt/string_crypt_tool.h"

#include <gtest/gtest.h>

#include <string>

#include "crypt/crypt_tool.h"
#include "crypt/tests/test_bytes.h"

namespace {

std::wstring Lower(std::wstring text) {
    for (auto& c : text) {
        if (c >= L'A' && c <= L'F') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}

TEST(StringCryptTool, HexLengths) {
    // 16 ASCII characters: one block, no prefix; 15: prefix 0F and one block.
    const tqn::StringCryptToolW tool;
    std::wstring hex;
    ASSERT_TRUE(tool.EncryptToHex(L"0123456789abcdef", hex));
    EXPECT_EQ(hex.size(), 32u);
    hex.clear();
    ASSERT_TRUE(tool.EncryptToHex(L"0123456789abcde", hex));
    EXPECT_EQ(hex.size(), 34u);
    EXPECT_EQ(hex.substr(0, 2), L"0F");
    EXPECT_EQ(hex.find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos);
}

TEST(StringCryptTool, KnownHexOfBuiltInKey) {
    // The same bytes the cipher tool's known answer gives, as upper-case hex.
    std::wstring hex;
    ASSERT_TRUE(tqn::StringCryptToolW().EncryptToHex(L"C:\\Program Files\\Example", hex));
    EXPECT_EQ(hex, L"08726A62CE99034FE9A4D528772554185E33CBDE0F7A0F6A9A75EE88E3C04740FD");
}

TEST(StringCryptTool, AppendsToOutput) {
    std::wstring hex = L"keep:";
    ASSERT_TRUE(tqn::StringCryptToolW().EncryptToHex(L"x", hex));
    EXPECT_EQ(hex.substr(0, 7), L"keep:01");
    EXPECT_EQ(hex.size(), 5u + 34u);
}

TEST(StringCryptTool, RoundTrips) {
    // Every non-empty text without NUL comes back, whatever its script or length.
    const tqn::StringCryptToolW tool;
    const std::wstring texts[] = {
        L"a",
        L"C:\\Program Files\\Example\\",
        L"0123456789abcdef",
        L"\xD55C\xAE00 \x00DC" L"bung \x4E2D\x6587 \U0001F600",
        std::wstring(300, L'z'),
    };
    for (const auto& text : texts) {
        std::wstring hex;
        ASSERT_TRUE(tool.EncryptToHex(text, hex));
        std::wstring back = L"old";
        ASSERT_TRUE(tool.DecryptFromHex(hex, back));
        EXPECT_EQ(back, text);
        // Lower-case digits read the same.
        back = L"old";
        ASSERT_TRUE(tool.DecryptFromHex(Lower(hex), back));
        EXPECT_EQ(back, text);
        // So do the bytes.
        ByteBuffer bytes;
        ASSERT_TRUE(tool.EncryptToBytes(text, bytes));
        back = L"old";
        ASSERT_TRUE(tool.DecryptFromBytes(bytes, back));
        EXPECT_EQ(back, text);
    }
}

TEST(StringCryptTool, NulCutsTheText) {
    const tqn::StringCryptToolW tool;
    std::wstring hex, back;
    ASSERT_TRUE(tool.EncryptToHex(std::wstring(L"abc\0def", 7), hex));
    ASSERT_TRUE(tool.DecryptFromHex(hex, back));
    EXPECT_EQ(back, L"abc");
}

TEST(StringCryptTool, EmptyTextFailsAndLeavesOutput) {
    const tqn::StringCryptToolW tool;
    std::wstring hex = L"untouched";
    EXPECT_FALSE(tool.EncryptToHex(L"", hex));
    EXPECT_FALSE(tool.EncryptToHex(std::wstring(L"\0a", 2), hex));
    EXPECT_EQ(hex, L"untouched");
    ByteBuffer bytes = crypt_test::Bytes("untouched");
    EXPECT_FALSE(tool.EncryptToBytes(L"", bytes));
    EXPECT_EQ(bytes, crypt_test::Bytes("untouched"));
}

TEST(StringCryptTool, OddLengthIgnoresTheLastCharacter) {
    const tqn::StringCryptToolW tool;
    std::wstring hex;
    ASSERT_TRUE(tool.EncryptToHex(L"path", hex));
    for (wchar_t extra : {L'7', L'Z', L'\0'}) {
        std::wstring back;
        ASSERT_TRUE(tool.DecryptFromHex(hex + extra, back));
        EXPECT_EQ(back, L"path");
    }
}

TEST(StringCryptTool, DecryptFromHexRejectsMalformedText) {
    // Byte counts of 0..15, or with a remainder modulo 16 other than 0 and 1, fail and change nothing.
    const tqn::StringCryptToolW tool;
    std::wstring hex;
    ASSERT_TRUE(tool.EncryptToHex(L"C:\\Program Files\\Example\\Sub", hex));
    ASSERT_EQ(hex.size(), 66u);
    for (size_t cut = 0; cut < hex.size(); ++cut) {
        const size_t bytes = cut / 2;
        if (bytes >= 16 && (bytes % 16 == 0 || bytes % 16 == 1)) continue;
        std::wstring out = L"untouched";
        EXPECT_FALSE(tool.DecryptFromHex(hex.substr(0, cut), out)) << cut;
        EXPECT_EQ(out, L"untouched");
    }
    // Prefix 0 or above 16.
    for (const wchar_t* prefix : {L"00", L"11", L"FF"}) {
        std::wstring out = L"untouched";
        EXPECT_FALSE(tool.DecryptFromHex(prefix + hex.substr(2), out)) << prefix;
        EXPECT_EQ(out, L"untouched");
    }
}

TEST(StringCryptTool, NonHexTextDecodesByThePairRules) {
    // Characters that are no hex digits decode like the bytes the pair rules give.
    const tqn::StringCryptToolW tool;
    std::wstring hex;
    ASSERT_TRUE(tool.EncryptToHex(L"0123456789abcdef", hex));
    std::wstring mangled = hex;
    mangled[3] = L'x';  // pair 1 becomes its first digit alone
    ByteBuffer bytes = crypt_test::FromHex(std::string(hex.begin(), hex.end()));
    bytes[1] = static_cast<unsigned char>(bytes[1] >> 4);
    std::wstring fromText = L"a", fromBytes = L"a";
    EXPECT_EQ(tool.DecryptFromHex(mangled, fromText), tool.DecryptFromBytes(bytes, fromBytes));
    EXPECT_EQ(fromText, fromBytes);
    EXPECT_NE(fromText, L"0123456789abcdef");
}

TEST(StringCryptTool, SucceedsWithoutOutputWhenPlaintextIsEmptyText) {
    // A plaintext starting with a zero byte decrypts, but gives no text.
    ByteBuffer cipher;
    ASSERT_NE(tqn::CryptTool().Encrypt(crypt_test::FromHex("0041"), cipher), 0);
    std::wstring out = L"untouched";
    EXPECT_TRUE(tqn::StringCryptToolW().DecryptFromBytes(cipher, out));
    EXPECT_EQ(out, L"untouched");
}

}  // namespace
