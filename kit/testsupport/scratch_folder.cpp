#include "kit/testsupport/scratch_folder.h"

#include <windows.h>

#include <atomic>

namespace tqn::test {

namespace {
// Names over 260 characters need the prefix on Windows.
std::wstring LongName(const std::wstring& path) {
    return path.rfind(L"\\\\?\\", 0) == 0 ? path : L"\\\\?\\" + path;
}
}  // namespace

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    std::wstring path(buffer, length);
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

std::wstring UniqueName(const std::wstring& stem) {
    static std::atomic<unsigned> counter{0};
    return stem + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter++) + L"-" + std::to_wstring(::GetTickCount());
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(LongName(path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                ::SetFileAttributesW(LongName(child).c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(LongName(child).c_str());
            }
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(LongName(path).c_str());
}

ScratchFolder::ScratchFolder(const std::wstring& label)
    : path_(TempFolder() + L"\\" + UniqueName(label)) {
    ::CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

}  // namespace tqn::test
