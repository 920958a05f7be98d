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
    const std::wstring path = ModuleFileName(nullptr);
    if (path.find(L'\\') == std::wstring::npos) return {};
    return FolderOfPath(path);
}

std::wstring ModuleFileName(HMODULE module) {
    // Size, then fill: a module name has no fixed limit.
    for (DWORD size = 512; size <= 32768; size *= 2) {
        std::wstring name(size, L'\0');
        const DWORD length = ::GetModuleFileNameW(module, name.data(), size);
        if (length == 0) return {};
        if (length < size) {
            name.resize(length);
            return name;
        }
    }
    return {};
}

std::wstring FullPathName(const std::wstring& path) {
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return {};
    full.resize(length);
    return full;
}

bool SamePathText(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && !b.empty() &&
           ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}
#endif

}  // namespace tqn
