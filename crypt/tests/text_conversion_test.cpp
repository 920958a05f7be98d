#include "crypt/text_conversion.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "crypt/hex_text.h"
#include "crypt/tests/test_bytes.h"
#include "crypt/utf8_codec.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using crypt_test::Bytes;
using crypt_test::ToHex;

// Text in several scripts, one character outside the BMP.
const std::wstring kMixed = L"D:\\\x00DC" L"bung\\\xD55C\xAE00\\\U0001F600.txt";
const char kMixedUtf8[] = "443A5CC39C62756E675CED959CEAB8805CF09F98802E747874";

TEST(TextConversion, WideToUtf8) {
    ByteBuffer out = Bytes("old");
    WideToUtf8(kMixed, out);
    EXPECT_EQ(ToHex(out), kMixedUtf8);
    // Cut at the first NUL; nothing at all leaves the buffer empty.
    WideToUtf8(std::wstring(L"ab\0cd", 5), out);
    EXPECT_EQ(out, Bytes("ab"));
    WideToUtf8(L"", out);
    EXPECT_TRUE(out.empty());
    out = Bytes("old");
    WideToUtf8(std::wstring(L"\0x", 2), out);
    EXPECT_TRUE(out.empty());
}

TEST(TextConversion, Utf8ToWide) {
    std::wstring out = L"old";
    Utf8ToWide(crypt_test::FromHex(kMixedUtf8).ToNarrowString(), out);
    EXPECT_EQ(out, kMixed);
    // No characters: the output stays.
    out = L"old";
    Utf8ToWide("", out);
    EXPECT_EQ(out, L"old");
    Utf8ToWide(std::string("\0abc", 4), out);
    EXPECT_EQ(out, L"old");
    Utf8ToWide("x", out);
    EXPECT_EQ(out, L"x");
}

TEST(TextConversion, Utf8ToWideReplacesIllFormedBytes) {
    // A broken sequence still converts, with a replacement character.
    std::wstring out = L"old";
    Utf8ToWide("a\xC3(b", out);
    EXPECT_EQ(out, L"a\xFFFD(b");
}

TEST(TextConversion, WideToAnsi) {
    std::string out = "old";
    WideToAnsi(L"Plain ASCII 123", out);
    EXPECT_EQ(out, "Plain ASCII 123");
    WideToAnsi(L"", out);
    EXPECT_EQ(out, "");
    WideToAnsi(std::wstring(L"ab\0c", 4), out);
    EXPECT_EQ(out, "ab");
    // What the code page cannot hold becomes a replacement.
    WideToAnsi(L"a\x4E2D" L"b", out);
    EXPECT_EQ(out, "a?b");
}

TEST(TextConversion, Md5HexOfAnsi) {
    std::wstring out = L"old";
    ASSERT_TRUE(Md5HexOfAnsi(L"abc", out));
    EXPECT_EQ(out, L"900150983CD24FB0D6963F7D28E17F72");
    ASSERT_TRUE(Md5HexOfAnsi(L"message digest", out));
    EXPECT_EQ(out, L"F96B697D7CB7938D525A2F31AAF161D0");
    // Over the replaced form: printf 'a?b' | md5sum
    ASSERT_TRUE(Md5HexOfAnsi(L"a\x4E2D" L"b", out));
    EXPECT_EQ(out, L"0166D849F21A9D699D896EA2A79A375F");
    // Empty text: false, output cleared.
    out = L"old";
    EXPECT_FALSE(Md5HexOfAnsi(L"", out));
    EXPECT_EQ(out, L"");
    // Text that is not empty but converts to nothing (it starts with a NUL)
    // has no digest either: every such text would share the digest of nothing.
    out = L"old";
    EXPECT_FALSE(Md5HexOfAnsi(std::wstring(L"\0abc", 4), out));
    EXPECT_EQ(out, L"");
}

TEST(TextConversion, Md5HexOfAnsiLatinText) {
#ifdef _WIN32
    if (GetACP() != 1252) GTEST_SKIP() << "ANSI code page " << GetACP();
#endif
    // printf 'Caf\xe9' | md5sum
    std::wstring out;
    ASSERT_TRUE(Md5HexOfAnsi(L"Caf\x00E9", out));
    EXPECT_EQ(out, L"355C5442233EB033103EB7E1255A17DB");
}

TEST(HexText, PairsFollowTheWcstolRules) {
    // {first, second, byte}
    const struct {
        wchar_t first, second;
        unsigned char value;
    } cases[] = {
        {L'0', L'0', 0x00}, {L'F', L'F', 0xFF}, {L'a', L'b', 0xAB}, {L'A', L'b', 0xAB}, {L'9', L'f', 0x9F},
        {L'7', L'G', 0x07},  // second not hex: the first alone
        {L'c', L'\0', 0x0C}, {L'G', L'1', 0x00},  // first not hex: 0
        {L'\0', L'1', 0x00}, {L'-', L'1', 0x00}, {L' ', L'A', 0x00}, {L'x', L'1', 0x00},
        {L'\xFF10', L'1', 0x00},  // a full-width digit is no hex digit
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tqn::HexPairByte(c.first, c.second), c.value) << int(c.first) << "," << int(c.second);
    }
}

TEST(HexText, TextToBytesAndBack) {
    EXPECT_TRUE(tqn::HexTextToBytes(L"").empty());
    EXPECT_TRUE(tqn::HexTextToBytes(L"A").empty());
    EXPECT_EQ(ToHex(tqn::HexTextToBytes(L"0aFf7")), "0AFF");
    std::wstring text = L">";
    const unsigned char bytes[] = {0x00, 0x0F, 0xA5, 0xFF};
    tqn::AppendHexUpper(bytes, sizeof(bytes), text);
    EXPECT_EQ(text, L">000FA5FF");
}

TEST(Utf8Codec, EncodesAndDecodes) {
    // {wide text, UTF-8}: one to four bytes; lone surrogates become U+FFFD.
    const struct {
        std::wstring wide;
        std::string utf8;
    } cases[] = {
        {L"A", "A"},
        {L"\x00E9", "\xC3\xA9"},
        {L"\x20AC", "\xE2\x82\xAC"},
        {L"\U00010348", "\xF0\x90\x8D\x88"},
        {std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x", "\xEF\xBF\xBDx"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tqn::EncodeUtf8(c.wide.data(), c.wide.size()), c.utf8);
    }
    for (size_t i = 0; i + 1 < std::size(cases); ++i) {
        EXPECT_EQ(tqn::DecodeUtf8(cases[i].utf8.data(), cases[i].utf8.size()), cases[i].wide);
    }
}

TEST(Utf8Codec, IllFormedInput) {
    // {UTF-8 bytes, decoded}: each ill-formed piece is one U+FFFD.
    const std::wstring r(1, L'\xFFFD');
    const struct {
        std::string utf8;
        std::wstring wide;
    } cases[] = {
        {"\x80", r},
        {"\xC0\xAF", r + r},                    // overlong
        {"\xE0\x80\xAF", r + r + r},            // overlong three-byte
        {"\xED\xA0\x80", r + r + r},            // encoded surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},    // above U+10FFFF
        {"\xE2\x82", r},                        // cut short at the end
        {"\xE2\x82" "A", r + L"A"},             // cut short before ASCII
        {"\xF5", r},
        {"\xFF\xFE", r + r},
    };
    for (const auto& c : cases) EXPECT_EQ(tqn::DecodeUtf8(c.utf8.data(), c.utf8.size()), c.wide) << ToHex(Bytes(c.utf8));
}

#ifdef _WIN32
TEST(TextConversion, SystemAndPortableCodecsAgree) {
    // The Windows build uses the system's conversion; on valid text both must match.
    ByteBuffer system;
    WideToUtf8(kMixed, system);
    EXPECT_EQ(std::string(system.begin(), system.end()), tqn::EncodeUtf8(kMixed.data(), kMixed.size()));
}
#endif

}  // namespace

TEST(Utf8Codec, StrictDecodingGivesUtf16UnitsOrNothing) {
    const struct {
        std::string utf8;
        bool ok;
        std::wstring units;
    } cases[] = {
        {"a\xC3\xA9", true, {L'a', wchar_t(0xE9)}},
        {"\xF0\x9F\x98\x80", true, {wchar_t(0xD83D), wchar_t(0xDE00)}},  // a pair also where wchar_t is 32-bit
        {"", true, L""},
        {"a\xC0\xAF", false, L""},          // overlong
        {"\xED\xA0\x80", false, L""},       // a surrogate
        {"\xF4\x90\x80\x80", false, L""},   // above U+10FFFF
        {"ab\xE2\x82", false, L""},         // cut short
        {"\x80", false, L""},               // a lone continuation byte
    };
    for (const auto& c : cases) {
        std::wstring units = L"old";
        EXPECT_EQ(tqn::DecodeUtf8Strict(c.utf8, units), c.ok) << ToHex(Bytes(c.utf8));
        EXPECT_EQ(units, c.units) << ToHex(Bytes(c.utf8));
    }
}
