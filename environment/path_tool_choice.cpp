#include "environment/path_tool_choice.h"

#include <string_view>

namespace tqn {

namespace {

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool IsForbiddenInName(wchar_t c) {
    return c < 0x20 || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' ||
           c == L'>' || c == L'|';
}

// One name between backslashes: not empty, no forbidden character, not
// ending in a dot or a blank (which also rules out "." and "..").
bool IsPlainName(std::wstring_view name) {
    if (name.empty()) return false;
    for (const wchar_t c : name) {
        if (IsForbiddenInName(c)) return false;
    }
    return name.back() != L'.' && name.back() != L' ';
}

}  // namespace

bool IsPlainDriveFolder(const std::wstring& folder) {
    if (folder.size() < 3 || !IsDriveLetter(folder[0]) || folder[1] != L':' || folder[2] != L'\\') return false;
    std::wstring_view rest(folder);
    rest.remove_prefix(3);
    if (!rest.empty() && rest.back() == L'\\') rest.remove_suffix(1);  // "C:\Product\" names "C:\Product"
    while (!rest.empty()) {
        const size_t slash = rest.find(L'\\');
        if (!IsPlainName(rest.substr(0, slash))) return false;
        if (slash == std::wstring_view::npos) break;
        rest.remove_prefix(slash + 1);
        if (rest.empty()) return false;  // a doubled backslash at the end
    }
    return true;
}

std::vector<std::wstring> ProductFolderCandidates(const std::wstring& requested, const std::wstring& sharedFolder,
                                                  const std::wstring& programFolder) {
    if (!requested.empty()) return {requested};
    std::vector<std::wstring> candidates;
    if (IsPlainDriveFolder(sharedFolder)) candidates.push_back(sharedFolder);
    if (candidates.empty() || candidates.front() != programFolder) candidates.push_back(programFolder);
    return candidates;
}

std::wstring ChooseProductFolder(const std::wstring& requested, const std::wstring& sharedFolder,
                                 const std::wstring& programFolder) {
    return ProductFolderCandidates(requested, sharedFolder, programFolder).front();
}

LookupExport ChooseLookupExport(bool newerBound, bool olderBound) {
    if (newerBound) return LookupExport::Newer;
    if (olderBound) return LookupExport::Older;
    return LookupExport::None;
}

}  // namespace tqn
