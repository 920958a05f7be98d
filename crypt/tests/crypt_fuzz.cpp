// libFuzzer target for the parsers of foreign data: the cipher tool's
// Decrypt, the hex text reader and the text conversions. The first byte
// picks the operation; the rest is the input.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "crypt/crypt_tool.h"
#include "crypt/string_crypt_tool.h"
#include "crypt/text_conversion.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
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
        std::wstring out = L"x";
        tqn::StringCryptToolW().DecryptFromHex(hex, out);
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
