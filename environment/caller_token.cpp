#include "environment/caller_token.h"

#include "crypt/format.h"
#include "crypt/text_conversion.h"

namespace tqn {

std::wstring VolumeText(std::optional<uint32_t> volumeSerial) {
    if (!volumeSerial) return L"Unknown";
    std::wstring text;
    AssignFormat(text, L"%X", static_cast<unsigned>(*volumeSerial));
    return text;
}

std::wstring CallerTokenSalt(uint32_t r1, uint32_t r2) {
    std::wstring salt;
    AssignFormat(salt, L"%02X%02X", static_cast<unsigned>(r2 & 0xFF), static_cast<unsigned>(r1 & 0xFF));
    return salt;
}

std::wstring ComposeCallerToken(std::optional<uint32_t> volumeSerial, uint32_t r1, uint32_t r2) {
    const std::wstring salt = CallerTokenSalt(r1, r2);
    std::wstring digest;
    if (!Md5HexOfAnsi(VolumeText(volumeSerial) + salt, digest)) return std::wstring();
    return salt + digest;
}

std::wstring VolumeRootOf(const std::wstring& windowsFolder) {
    if (windowsFolder.size() >= 3 && windowsFolder[1] == L':' && windowsFolder[2] == L'\\') {
        return windowsFolder.substr(0, 3);
    }
    return L"C:\\";
}

bool HasCallerTokenShape(const std::wstring& token) {
    if (token.size() != 36) return false;
    for (wchar_t c : token) {
        const bool digit = c >= L'0' && c <= L'9';
        const bool upper = c >= L'A' && c <= L'F';
        if (!digit && !upper) return false;
    }
    return true;
}

}  // namespace tqn
