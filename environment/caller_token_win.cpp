// The thin part of the caller token: the facts come from the system.
#include <windows.h>

#include <cstdlib>
#include <ctime>

#include "environment/caller_token.h"

#include "crypt/text_conversion.h"

namespace tqn {

namespace {

std::optional<uint32_t> SystemVolumeSerial(const wchar_t* windowsFolder) {
    DWORD serial = 0;
    if (!::GetVolumeInformationW(VolumeRootOf(windowsFolder).c_str(), nullptr, 0, &serial, nullptr,
                                 nullptr, nullptr, 0)) {
        return std::nullopt;
    }
    return serial;
}

}  // namespace

std::wstring BuildCallerToken() {
    // Reseeded on every call: two tokens of the same second share their salt.
    std::srand(static_cast<unsigned>(_time64(nullptr)));

    wchar_t windowsFolder[128] = {};
    const UINT length = ::GetWindowsDirectoryW(windowsFolder, 128);
    if (length == 0 || length >= 128) return std::wstring();

    const std::optional<uint32_t> volumeSerial = SystemVolumeSerial(windowsFolder);
    const auto r1 = static_cast<uint32_t>(std::rand() % 255);
    const auto r2 = static_cast<uint32_t>(std::rand() % 255);
    return ComposeCallerToken(volumeSerial, r1, r2);
}

bool CallerTokenMatchesSystem(const std::wstring& token) {
    if (!HasCallerTokenShape(token)) return false;
    wchar_t windowsFolder[128] = {};
    const UINT length = ::GetWindowsDirectoryW(windowsFolder, 128);
    if (length == 0 || length >= 128) return false;
    const std::wstring salt = token.substr(0, 4);
    std::wstring digest;
    return Md5HexOfAnsi(VolumeText(SystemVolumeSerial(windowsFolder)) + salt, digest) &&
           digest == token.substr(4);
}

}  // namespace tqn
