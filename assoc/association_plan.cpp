#include "assoc/association_plan.h"

namespace tqn {

bool IsGuardedExtension(const std::wstring& extension) {
    return !extension.empty() && extension.find(L'\\') == std::wstring::npos;
}

std::vector<AssociationCondition> ExpectedRegistration(const std::wstring& extension) {
    const std::wstring key = L"." + extension;
    return {
        {key, true, L"", L""},
        {key, false, L"", kExecutableClass},
        {key, false, L"Content Type", L"application/x-msdownload"},
        {key + L"\\PersistentHandler", false, L"", L"{098f2470-bae0-11cd-b579-08002b30bfeb}"},
    };
}

namespace {

// Key names compare without letter case, as the registry does (ASCII folding
// is enough here: no other character folds onto a letter of "exefile").
bool SameKeyName(const std::wstring& a, const std::wstring& b) {
    const auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

}  // namespace

std::vector<ClassKeyDeletion> ClassKeysToDelete(const std::wstring& extension) {
    std::vector<ClassKeyDeletion> deletions;
    for (const std::wstring& name : {extension + L"file", extension + L"_auto_file"}) {
        if (SameKeyName(name, kExecutableClass)) {
            deletions.push_back({kCurrentUserRootName, L"Software\\Classes\\" + name});
        } else {
            deletions.push_back({kClassesRootName, name});
        }
    }
    return deletions;
}

std::vector<std::wstring> UserClassesKeysWritten(const std::wstring& extension) {
    const std::wstring key = L"Software\\Classes\\." + extension;
    return {key + L"\\PersistentHandler", key};
}

std::wstring ExplorerExtensionKey(const std::wstring& extension) {
    return L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + extension;
}

}  // namespace tqn
