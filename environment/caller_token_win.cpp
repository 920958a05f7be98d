// The thin part of the caller token: the facts come from the system.
#include <windows.h>

#include <cstdlib>
#include <ctime>

#include "environment/caller_token.h"

namespace tqn {

std::wstring BuildCallerToken() {
    // Reseeded on every call: two tokens of the same second share their salt.
    std::srand(static_cast<unsigned>(_time64(nullptr)));

    wchar_t windowsFolder[128] = {};
    const UINT length = ::GetWindowsDirectoryW(windowsFolder, 128);
    if (length == 0 || length >= 128) return std::wstring();

    const std::wstring root = VolumeRootOf(windowsFolder);
    DWORD serial = 0;
    std::optional<uint32_t> volumeSerial;
    if (::GetVolumeInformationW(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
        volumeSerial = serial;
    }
    const auto r1 = static_cast<uint32_t>(std::rand() % 255);
    const auto r2 = static_cast<uint32_t>(std::rand() % 255);
    return ComposeCallerToken(volumeSerial, r1, r2);
}

}  // namespace tqn
