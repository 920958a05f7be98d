#include "crypt/string_crypt_tool.h"

#include "crypt/crypt_tool.h"
#include "crypt/hex_text.h"
#include "crypt/text_conversion.h"

namespace tqn {

bool StringCryptToolW::EncryptToBytes(const std::wstring& text, ByteBuffer& output) const {
    ByteBuffer utf8;
    WideToUtf8(text, utf8);
    if (utf8.empty()) return false;
    const CryptTool tool;
    return tool.Encrypt(utf8, output) != 0;
}

bool StringCryptToolW::EncryptToHex(const std::wstring& text, std::wstring& output) const {
    ByteBuffer bytes;
    if (!EncryptToBytes(text, bytes)) return false;
    AppendHexUpper(bytes.data(), bytes.size(), output);
    return true;
}

bool StringCryptToolW::DecryptFromBytes(const ByteBuffer& bytes, std::wstring& output) const {
    ByteBuffer plain;
    const CryptTool tool;
    if (tool.Decrypt(bytes, plain) == 0) return false;
    const std::string narrow = plain.ToNarrowString();
    if (!narrow.empty()) Utf8ToWide(narrow, output);
    return true;
}

bool StringCryptToolW::DecryptFromHex(const std::wstring& hex, std::wstring& output) const {
    return DecryptFromBytes(HexTextToBytes(hex), output);
}

}  // namespace tqn
