#include "environment/path_tool_choice.h"

#include <string_view>

#include "platform/path_names.h"

namespace tqn {

namespace {

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

}  // namespace

bool IsPlainDriveFolder(const std::wstring& folder) {
    if (folder.size() < 3 || !IsDriveLetter(folder[0]) || folder[1] != L':' || folder[2] != L'\\') return false;
    std::wstring rest = folder.substr(3);
    if (!rest.empty() && rest.back() == L'\\') rest.pop_back();  // "C:\Product\" names "C:\Product"
    return rest.empty() || IsPathInsideFolder(rest);
}

bool StoredFolderAccepted(const ProductFolderSources& sources) {
    if (!IsPlainDriveFolder(sources.stored)) return false;
    return SameFolderText(sources.stored, sources.programFolder) ||
           (!sources.installedFolder.empty() && SameFolderText(sources.stored, sources.installedFolder));
}

bool StoredFolderRejected(const ProductFolderSources& sources) {
    return !sources.stored.empty() && !StoredFolderAccepted(sources);
}

std::vector<std::wstring> ProductFolderCandidates(const std::wstring& requested, const ProductFolderSources& sources) {
    if (!requested.empty()) return {requested};
    // Only the program folder is left unless the stored text names the
    // installed folder, which is then taken as the administrator wrote it.
    if (StoredFolderAccepted(sources) && !SameFolderText(sources.stored, sources.programFolder)) {
        return {sources.installedFolder, sources.programFolder};
    }
    return {sources.programFolder};
}

std::wstring ChooseProductFolder(const std::wstring& requested, const ProductFolderSources& sources) {
    return ProductFolderCandidates(requested, sources).front();
}

LookupExport ChooseLookupExport(bool newerBound, bool olderBound) {
    if (newerBound) return LookupExport::Newer;
    if (olderBound) return LookupExport::Older;
    return LookupExport::None;
}

}  // namespace tqn
