#include "crypt/hex_text.h"

namespace tqn {

namespace {

int HexDigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

}  // namespace

void AppendHexUpper(const unsigned char* bytes, size_t count, std::wstring& output) {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    if (bytes == nullptr) return;
    output.reserve(output.size() + 2 * count);
    for (size_t i = 0; i < count; ++i) {
        output.push_back(kDigits[bytes[i] >> 4]);
        output.push_back(kDigits[bytes[i] & 0x0F]);
    }
}

unsigned char HexPairByte(wchar_t first, wchar_t second) {
    const int high = HexDigitValue(first);
    if (high < 0) return 0;
    const int low = HexDigitValue(second);
    if (low < 0) return static_cast<unsigned char>(high);
    return static_cast<unsigned char>(high * 16 + low);
}

ByteBuffer HexTextToBytes(const std::wstring& hex) {
    ByteBuffer bytes;
    const size_t count = hex.size() / 2;
    if (count == 0) return bytes;
    bytes.ResizeZeroed(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = HexPairByte(hex[2 * i], hex[2 * i + 1]);
    return bytes;
}

}  // namespace tqn
