#include "platform/path_names.h"

#include <cwchar>
#include <string_view>
#ifndef _WIN32
#include <wctype.h>
#endif

namespace tqn {

namespace {

bool IsForbiddenInName(wchar_t c) {
    return c < 0x20 || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' ||
           c == L'>' || c == L'|';
}

void DropTrailingBackslash(std::wstring& path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
}

}  // namespace

bool IsPlainFileName(const std::wstring& name) {
    if (name.empty()) return false;
    for (const wchar_t c : name) {
        if (IsForbiddenInName(c)) return false;
    }
    return name.back() != L'.' && name.back() != L' ';
}

bool IsPathInsideFolder(const std::wstring& relativePath) {
    if (relativePath.empty()) return false;
    size_t start = 0;
    for (;;) {
        const size_t slash = relativePath.find(L'\\', start);
        if (!IsPlainFileName(relativePath.substr(start, slash - start))) return false;
        if (slash == std::wstring::npos) return true;
        start = slash + 1;
    }
}

bool SameFolderText(std::wstring a, std::wstring b) {
    DropTrailingBackslash(a);
    DropTrailingBackslash(b);
#ifdef _WIN32
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
#else
    return wcscasecmp(a.c_str(), b.c_str()) == 0;
#endif
}

}  // namespace tqn
