#include "crypt/byte_buffer.h"

#include <gtest/gtest.h>

#include "crypt/tests/test_bytes.h"

namespace {

using crypt_test::FromHex;

TEST(ByteBuffer, AssignCopiesAndRefusesZeroCount) {
    ByteBuffer buffer = FromHex("AABB");
    // Count 0: false and unchanged.
    EXPECT_FALSE(buffer.Assign("xyz", 0));
    EXPECT_EQ(buffer, FromHex("AABB"));
    // Another size: replaced.
    EXPECT_TRUE(buffer.Assign("xyz", 3));
    EXPECT_EQ(buffer, crypt_test::Bytes("xyz"));
    // Same size: overwritten in place.
    const unsigned char* before = buffer.data();
    EXPECT_TRUE(buffer.Assign("abc", 3));
    EXPECT_EQ(buffer, crypt_test::Bytes("abc"));
    EXPECT_EQ(buffer.data(), before);
}

TEST(ByteBuffer, AssignFromItsOwnBytes) {
    // A source inside the buffer must survive the resize.
    ByteBuffer buffer = crypt_test::Bytes("hello world");
    EXPECT_TRUE(buffer.Assign(buffer.data() + 6, 5));
    EXPECT_EQ(buffer, crypt_test::Bytes("world"));
}

TEST(ByteBuffer, ResizeZeroed) {
    ByteBuffer buffer = FromHex("010203");
    EXPECT_TRUE(buffer.ResizeZeroed(3));
    EXPECT_EQ(buffer, FromHex("000000"));
    buffer = FromHex("0102");
    EXPECT_TRUE(buffer.ResizeZeroed(4));
    EXPECT_EQ(buffer, FromHex("00000000"));
    EXPECT_TRUE(buffer.ResizeZeroed(0));
    EXPECT_TRUE(buffer.empty());
}

TEST(ByteBuffer, DataIsNullOnlyWhenEmpty) {
    ByteBuffer buffer;
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(static_cast<const ByteBuffer&>(buffer).Data(), nullptr);
    buffer.push_back(7);
    ASSERT_NE(buffer.Data(), nullptr);
    EXPECT_EQ(*buffer.Data(), 7);
}

TEST(ByteBuffer, ToNarrowString) {
    // {bytes, text}: cut at the first zero byte, else all bytes.
    const struct {
        const char* hex;
        std::string text;
    } cases[] = {
        {"", ""},
        {"00", ""},
        {"414243", "ABC"},
        {"41420043", "AB"},
        {"0041", ""},
        {"FF80", "\xFF\x80"},
    };
    for (const auto& c : cases) EXPECT_EQ(FromHex(c.hex).ToNarrowString(), c.text) << c.hex;
}

TEST(ByteBuffer, ToWideString) {
    // {bytes, text}: UTF-16LE up to a NUL unit at an even offset; 2 bytes or fewer give nothing.
    const struct {
        const char* hex;
        std::wstring text;
    } cases[] = {
        {"410000AC0000", L"A\xAC00"},
        {"", L""},
        {"41", L""},
        {"4100", L""},
        {"410042", L"A"},
        {"41004200", L"AB"},
        {"410042004300", L"ABC"},
        {"0041004200", L"\x4100\x4200"},  // zero bytes at odd offsets are no NUL
        {"4100000042", L"A"},
        {"0000410042", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(FromHex(c.hex).ToWideString(), c.text) << c.hex;
}

}  // namespace

TEST(ByteBuffer, WideStringRoundTrip) {
    ByteBuffer bytes;
    bytes.AssignWideString(std::wstring{L'A', wchar_t(0xD55C), wchar_t(0xD83D), wchar_t(0xDE00)});
    const std::vector<unsigned char> expected = {0x41, 0, 0x5C, 0xD5, 0x3D, 0xD8, 0x00, 0xDE, 0, 0};
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.end()), expected);
    EXPECT_EQ(bytes.ToWideString(), (std::wstring{L'A', wchar_t(0xD55C), wchar_t(0xD83D), wchar_t(0xDE00)}));
    bytes.AssignWideString(L"");
    EXPECT_EQ(bytes.size(), 2u);
}
