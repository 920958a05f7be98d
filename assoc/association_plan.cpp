#include "assoc/association_plan.h"

namespace tqn {

bool IsGuardedExtension(const std::wstring& extension) {
    return !extension.empty() && extension.find(L'\\') == std::wstring::npos;
}

std::vector<AssociationCondition> ExpectedRegistration(const std::wstring& extension) {
    const std::wstring key = L"." + extension;
    return {
        {key, true, L"", L""},
        {key, false, L"", L"exefile"},
        {key, false, L"Content Type", L"application/x-msdownload"},
        {key + L"\\PersistentHandler", false, L"", L"{098f2470-bae0-11cd-b579-08002b30bfeb}"},
    };
}

std::vector<std::wstring> ExtensionClassKeys(const std::wstring& extension) {
    return {extension + L"file", extension + L"_auto_file"};
}

std::wstring ExplorerExtensionKey(const std::wstring& extension) {
    return L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + extension;
}

}  // namespace tqn
