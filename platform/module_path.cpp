#include "platform/module_path.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tqn {

std::wstring FolderOfPath(const std::wstring& path) {
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(0, slash);
}

#ifdef _WIN32
std::wstring ProgramFolder() {
    wchar_t path[512] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, 512);
    if (length == 0 || length >= 512) return {};
    return FolderOfPath(std::wstring(path, length));
}
#endif

}  // namespace tqn
