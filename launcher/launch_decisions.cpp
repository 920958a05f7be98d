#include "launcher/launch_decisions.h"

#include "platform/path_names.h"

namespace tqn {

namespace {

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

std::wstring AsciiLowerCopy(const std::wstring& text) {
    std::wstring lower = text;
    for (auto& c : lower) c = AsciiLower(c);
    return lower;
}
}  // namespace

bool VersionNeedsIntegrityTest(const OsFlags& f) {
    const bool namedRelease = f.windows7 || f.server2008 || f.server2008R2 || f.windows8 ||
                              f.server2012Family || f.windows10;
    return (f.vistaOrLater && !namedRelease) || f.windows7;
}

const wchar_t* LaunchPathName(LaunchPath path) {
    switch (path) {
        case LaunchPath::ConsoleSession: return L"session";
        case LaunchPath::Plain: return L"plain";
        case LaunchPath::MediumIntegrity: return L"medium";
    }
    return L"?";
}

LaunchPath ChooseLaunchPath(bool isSystemAccount, bool dropElevation, const OsFlags& flags,
                            bool mediumIntegrity) {
    if (isSystemAccount) return LaunchPath::ConsoleSession;
    if (!dropElevation) return LaunchPath::Plain;
    if (!VersionNeedsIntegrityTest(flags)) return LaunchPath::Plain;
    return mediumIntegrity ? LaunchPath::Plain : LaunchPath::MediumIntegrity;
}

bool IsSystemAccountName(const std::wstring& accountName) {
    return AsciiLowerCopy(accountName) == L"system";
}

std::wstring BuildPlainCommandLine(const std::wstring& path, const std::wstring& arguments) {
    std::wstring line = (!path.empty() && path[0] == L'"') ? path : L"\"" + path + L"\"";
    if (!arguments.empty()) line += L" " + arguments;
    return line;
}

std::wstring BuildQuotedCommandLine(const std::wstring& path, const std::wstring& arguments) {
    std::wstring line = L"\"" + path + L"\"";
    if (!arguments.empty()) line += L" " + arguments;
    return line;
}

std::wstring BuildConsoleSessionCommandLine(const std::wstring& path,
                                            const std::wstring& arguments) {
    return L"\"" + path + L"\" " + arguments;
}

std::wstring ProgramFolderFile(const std::wstring& programFolder, const std::wstring& fileName) {
    if (programFolder.empty() || !IsPathInsideFolder(fileName)) return {};
    return programFolder + L"\\" + fileName;
}

}  // namespace tqn
