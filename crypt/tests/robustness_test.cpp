// Hostile input, as it may arrive from other processes through shared memory:
// random and mutated buffers and texts. Under the native sanitizer build any
// read or write out of bounds fails the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "crypt/crypt_tool.h"
#include "crypt/hex_text.h"
#include "crypt/string_crypt_tool.h"
#include "crypt/text_conversion.h"
#include "crypt/utf8_codec.h"

namespace {

constexpr int kRounds = 20000;

ByteBuffer RandomBytes(std::mt19937& rng, size_t length) {
    ByteBuffer bytes(length);
    for (auto& b : bytes) b = static_cast<unsigned char>(rng());
    return bytes;
}

// Lengths near the block boundaries come up more often than in a flat draw.
size_t RandomLength(std::mt19937& rng) {
    const size_t blocks = rng() % 5;
    const int offset = static_cast<int>(rng() % 5) - 2;
    const size_t near = blocks * 16 + 1;
    return rng() % 3 == 0 ? rng() % 90 : static_cast<size_t>(std::max<int>(0, static_cast<int>(near) + offset));
}

// What Decrypt must accept: at least 16 bytes, remainder 0, or remainder 1
// with a prefix of 1..16; the plaintext length follows from it.
bool AcceptableLayout(const ByteBuffer& in, size_t& plainLength) {
    if (in.size() < 16) return false;
    if (in.size() % 16 == 0) {
        plainLength = in.size();
        return true;
    }
    if (in.size() % 16 != 1 || in[0] == 0 || in[0] > 16) return false;
    plainLength = in.size() - 17 + in[0];
    return true;
}

void CheckDecrypt(const tqn::CryptTool& tool, const ByteBuffer& in) {
    const ByteBuffer copy = in;
    ByteBuffer out(3, 0xEE);
    size_t expected = 0;
    const bool acceptable = AcceptableLayout(in, expected);
    const bool decrypted = tool.Decrypt(in, out) != 0;
    ASSERT_EQ(decrypted, acceptable) << in.size();
    ASSERT_EQ(in, copy);
    if (decrypted) {
        ASSERT_EQ(out.size(), expected);
        // Without a prefix every block is kept, so encrypting gives the input back.
        if (in.size() % 16 == 0) {
            ByteBuffer again;
            ASSERT_NE(tool.Encrypt(out, again), 0);
            ASSERT_EQ(again, in);
        }
    } else {
        ASSERT_EQ(out, ByteBuffer(3, 0xEE));
    }
}

TEST(Robustness, DecryptOfRandomBuffers) {
    std::mt19937 rng(20240611);
    const tqn::CryptTool tool;
    for (int round = 0; round < kRounds; ++round) {
        ByteBuffer in = RandomBytes(rng, RandomLength(rng));
        // Often give the prefix a value in or near the valid range.
        if (!in.empty() && rng() % 2 == 0) in[0] = static_cast<unsigned char>(rng() % 20);
        CheckDecrypt(tool, in);
    }
}

TEST(Robustness, DecryptOfMutatedCiphertexts) {
    std::mt19937 rng(7);
    const tqn::CryptTool tool;
    for (int round = 0; round < kRounds; ++round) {
        const ByteBuffer plain = RandomBytes(rng, 1 + rng() % 70);
        ByteBuffer cipher;
        ASSERT_NE(tool.Encrypt(plain, cipher), 0);
        switch (rng() % 5) {
        case 0: {  // untouched: must come back exactly
            ByteBuffer back;
            ASSERT_NE(tool.Decrypt(cipher, back), 0);
            ASSERT_EQ(back, plain);
            continue;
        }
        case 1:
            cipher[rng() % cipher.size()] ^= static_cast<unsigned char>(1 + rng() % 255);
            break;
        case 2:
            cipher[0] = static_cast<unsigned char>(rng());
            break;
        case 3:
            cipher.resize(rng() % (cipher.size() + 1));
            break;
        default: {
            const ByteBuffer extra = RandomBytes(rng, 1 + rng() % 17);
            cipher.insert(cipher.end(), extra.begin(), extra.end());
            break;
        }
        }
        CheckDecrypt(tool, cipher);
    }
}

// Hex-like text: digits of both cases, other characters, NULs, surrogates.
std::wstring RandomHexText(std::mt19937& rng, const std::wstring& base) {
    static const wchar_t kAlphabet[] = L"0123456789ABCDEFabcdef xXgG-+\t";
    std::wstring text = base;
    if (text.empty()) {
        const size_t length = RandomLength(rng) * 2 + rng() % 2;
        for (size_t i = 0; i < length; ++i) text.push_back(kAlphabet[rng() % 30]);
    }
    const size_t changes = rng() % 4;
    for (size_t i = 0; i < changes && !text.empty(); ++i) {
        const wchar_t odd[] = {L'\0', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0xFFFF),
                               kAlphabet[rng() % 30]};
        text[rng() % text.size()] = odd[rng() % 4];
    }
    if (rng() % 4 == 0) text.resize(rng() % (text.size() + 1));
    return text;
}

TEST(Robustness, DecryptFromHexOfHostileText) {
    std::mt19937 rng(99);
    const tqn::StringCryptToolW tool;
    std::wstring valid;
    ASSERT_TRUE(tool.EncryptToHex(L"C:\\Program Files\\Example\\Data", valid));
    for (int round = 0; round < kRounds; ++round) {
        const std::wstring text = RandomHexText(rng, rng() % 2 ? valid : std::wstring());
        std::wstring out = L"untouched";
        const bool result = tool.DecryptFromHex(text, out);
        // The result is decided by the byte count and, with a prefix, its first pair.
        const ByteBuffer bytes = tqn::HexTextToBytes(text);
        size_t plainLength = 0;
        ASSERT_EQ(result, AcceptableLayout(bytes, plainLength)) << bytes.size();
        if (!result) {
            ASSERT_EQ(out, L"untouched");
        }
        ASSERT_LE(out.size(), std::max<size_t>(plainLength, 9));
    }
}

TEST(Robustness, ConversionsOfRandomBytes) {
    std::mt19937 rng(1234);
    for (int round = 0; round < kRounds; ++round) {
        const ByteBuffer bytes = RandomBytes(rng, rng() % 40);
        // Narrow and wide views never reach past the buffer.
        const std::string narrow = bytes.ToNarrowString();
        ASSERT_LE(narrow.size(), bytes.size());
        ASSERT_EQ(narrow.find('\0'), std::string::npos);
        const std::wstring wide = bytes.ToWideString();
        ASSERT_LE(wide.size(), bytes.size() / 2);

        // Decoded UTF-8 without replacements encodes back to the same bytes.
        const std::wstring decoded = tqn::DecodeUtf8(narrow.data(), narrow.size());
        if (decoded.find(L'\xFFFD') == std::wstring::npos) {
            ASSERT_EQ(tqn::EncodeUtf8(decoded.data(), decoded.size()), narrow);
        }
        std::wstring converted = L"untouched";
        Utf8ToWide(narrow, converted);
        ASSERT_EQ(converted.empty(), false);
        ByteBuffer utf8;
        WideToUtf8(wide, utf8);
        std::string ansi;
        WideToAnsi(wide, ansi);
        ASSERT_LE(ansi.size(), 3 * wide.size());
    }
}

}  // namespace
