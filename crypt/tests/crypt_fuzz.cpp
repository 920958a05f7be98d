// libFuzzer target for the parsers of foreign data: the cipher tool's
// Decrypt, the hex text reader with the string tool's DecryptFromHex, and
// the text conversions. The first byte picks the operation; the rest is the
// input.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "crypt/crypt_tool.h"
#include "crypt/hex_text.h"
#include "crypt/string_crypt_tool.h"
#include "crypt/text_conversion.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

bool IsHexDigits(const std::wstring& text) {
    return text.find_first_not_of(L"0123456789ABCDEFabcdef") == std::wstring::npos;
}

std::wstring Upper(std::wstring text) {
    for (auto& c : text) c = (c >= L'a' && c <= L'f') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const ByteBuffer input(data + 1, data + size);
    const tqn::CryptTool tool;
    switch (data[0] % 4) {
    case 0: {
        ByteBuffer plain;
        if (tool.Decrypt(input, plain) != 0) {
            Require(plain.size() <= input.size());
            ByteBuffer again, back;
            Require(tool.Encrypt(plain, again) != 0);
            Require(tool.Decrypt(again, back) != 0 && back == plain);
        }
        break;
    }
    case 1: {
        const std::wstring hex(input.begin(), input.end());
        const ByteBuffer bytes = tqn::HexTextToBytes(hex);
        Require(bytes.size() == hex.size() / 2);
        // Digits read back as the writer spells them.
        if (IsHexDigits(hex)) {
            std::wstring upper;
            tqn::AppendHexUpper(bytes.data(), bytes.size(), upper);
            Require(upper == Upper(hex.substr(0, 2 * bytes.size())));
        }
        std::wstring out = L"x";
        if (tqn::StringCryptToolW().DecryptFromHex(hex, out)) {
            Require(!out.empty() && out.find(L'\0') == std::wstring::npos);
        } else {
            Require(out == L"x");
        }
        break;
    }
    case 2: {
        std::wstring wide = L"x";
        Utf8ToWide(input.ToNarrowString(), wide);
        ByteBuffer utf8;
        WideToUtf8(wide, utf8);
        std::wstring hash;
        Md5HexOfAnsi(wide, hash);
        break;
    }
    default: {
        const std::wstring wide = input.ToWideString();
        std::wstring hex, back;
        if (tqn::StringCryptToolW().EncryptToHex(wide, hex)) {
            Require(tqn::StringCryptToolW().DecryptFromHex(hex, back));
        }
        break;
    }
    }
    return 0;
}
