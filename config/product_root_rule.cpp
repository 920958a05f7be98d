#include "config/product_root_rule.h"

#include <cwchar>
#ifndef _WIN32
#include <wctype.h>
#endif

namespace tqn {

namespace {

void DropTrailingBackslash(std::wstring& path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
}

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
#ifdef _WIN32
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
#else
    return wcscasecmp(a.c_str(), b.c_str()) == 0;
#endif
}

}  // namespace

bool SameProductFolder(std::wstring productPath, std::wstring programFolder) {
    DropTrailingBackslash(productPath);
    DropTrailingBackslash(programFolder);
    return EqualIgnoringCase(productPath, programFolder);
}

}  // namespace tqn
