#include "launcher/file_information.h"

#include "launcher/launch_decisions.h"
#include "platform/os_info.h"

namespace tqn {

namespace {
bool g_xpProgramDataComputed = false;
bool g_xpProgramData = false;
}  // namespace

FileInformationExW::FileInformationExW() {
    if (g_xpProgramDataComputed) return;
    g_xpProgramDataComputed = true;
    OsFacts facts;
    SYSTEM_INFO systemInfo{};
    if (!GatherOsFacts(facts, systemInfo)) return;
    if (facts.platformId != VER_PLATFORM_WIN32_NT || facts.major != 5 || facts.minor != 1) return;
    wchar_t windows[MAX_PATH] = {};
    if (::GetWindowsDirectoryW(windows, MAX_PATH) == 0) return;
    std::wstring root = windows;
    const auto slash = root.find(L'\\');
    if (slash != std::wstring::npos) root.resize(slash);
    bool isDirectory = false;
    g_xpProgramData = FileExists(root + L"\\ProgramData", &isDirectory) && isDirectory;
}

bool FileInformationExW::XpProgramDataFlag() { return g_xpProgramData; }

bool FileInformationExW::FileExists(const std::wstring& path, bool* isDirectory) const {
    const std::wstring queried = PathForAttributeQuery(path);
    const DWORD attributes = ::GetFileAttributesW(queried.c_str());
    if (isDirectory) *isDirectory = false;
    const FilePresence presence = JudgeFileAttributes(attributes, queried, g_xpProgramData);
    if (isDirectory) *isDirectory = presence.isDirectory;
    return presence.exists;
}

}  // namespace tqn
