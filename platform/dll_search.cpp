#include "platform/dll_search.h"

namespace tqn {

namespace {

// Present from Windows 8, and on Windows 7 and Vista with their loader update.
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

constexpr DWORD kSearchSystemFolder = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD kSearchLoadFolderAndDefaults = 0x00000100 | 0x00001000;  // ..._DLL_LOAD_DIR | ..._DEFAULT_DIRS

}  // namespace

bool RestrictDllSearch() {
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(kernel ? ::GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr));
    if (setDefault != nullptr && setDefault(kSearchSystemFolder)) return true;
    return ::SetDllDirectoryW(L"") != FALSE;
}

HMODULE LoadModuleFromItsFolder(const std::wstring& path) {
    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, kSearchLoadFolderAndDefaults);
    if (module == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER) {
        module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return module;
}

}  // namespace tqn
