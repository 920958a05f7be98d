#include "diag/log_file_rule.h"

namespace tqn {

namespace {
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeReparsePoint = 0x400;

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; }

bool SameIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    }
    return true;
}

std::wstring_view WithoutTrailingBackslashes(std::wstring_view path) {
    while (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
    return path;
}
}  // namespace

std::wstring FinalPathFormOf(const std::wstring& fullFolder) {
    const std::wstring_view folder = WithoutTrailingBackslashes(fullFolder);
    if (folder.substr(0, 4) == L"\\\\?\\") return std::wstring(folder);
    if (folder.substr(0, 2) == L"\\\\") return L"\\\\?\\UNC\\" + std::wstring(folder.substr(2));
    return L"\\\\?\\" + std::wstring(folder);
}

bool IsDirectlyInside(std::wstring_view finalPath, std::wstring_view folder) {
    const size_t slash = finalPath.rfind(L'\\');
    if (slash == std::wstring_view::npos || slash + 1 == finalPath.size() || folder.empty()) return false;
    return SameIgnoringAsciiCase(finalPath.substr(0, slash), WithoutTrailingBackslashes(folder));
}

LogFileVerdict JudgeOpenedLogFile(const OpenedFileFacts& facts, std::wstring_view folder) {
    if (!facts.read || facts.finalPath.empty()) return LogFileVerdict::NotRead;
    if (!IsDirectlyInside(facts.finalPath, folder)) return LogFileVerdict::OutsideFolder;
    if (facts.attributes & kAttributeReparsePoint) return LogFileVerdict::ReparsePoint;
    if (facts.attributes & kAttributeDirectory) return LogFileVerdict::Folder;
    if (facts.linkCount != 1) return LogFileVerdict::HardLink;
    return LogFileVerdict::Usable;
}

bool IsReplaceableLink(LogFileVerdict verdict) {
    return verdict == LogFileVerdict::ReparsePoint || verdict == LogFileVerdict::HardLink;
}

bool IsWithinAnyRoot(std::wstring_view folder, const std::vector<std::wstring>& roots) {
    folder = WithoutTrailingBackslashes(folder);
    for (const std::wstring& root : roots) {
        const std::wstring_view base = WithoutTrailingBackslashes(root);
        if (base.empty() || folder.size() < base.size()) continue;
        const bool boundary = folder.size() == base.size() || folder[base.size()] == L'\\';
        if (boundary && SameIgnoringAsciiCase(folder.substr(0, base.size()), base)) return true;
    }
    return false;
}

}  // namespace tqn
