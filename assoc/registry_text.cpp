#include "assoc/registry_text.h"

#include <array>
#include <cwchar>

namespace tqn {
namespace {

struct RootRow {
    const wchar_t* longSpelling;
    const wchar_t* shortSpelling;
    RegistryRoot root;
};

// Tried in this order, each row long spelling first.
constexpr std::array<RootRow, 5> kRootRows{{
    {L"HKEY_CLASSES_ROOT", L"HCR", RegistryRoot::ClassesRoot},
    {L"HKEY_LOCAL_MACHINE", L"HLM", RegistryRoot::LocalMachine},
    {L"HKEY_CURRENT_CONFIG", L"HCC", RegistryRoot::CurrentConfig},
    {L"HKEY_CURRENT_USER", L"HCU", RegistryRoot::CurrentUser},
    {L"HKEY_USERS", L"HU", RegistryRoot::Users},
}};
constexpr size_t kFallbackRow = 1;  // the local machine

bool IsTrimmedBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v' || c == L'\f'; }

const RootRow& FindRootRow(const std::wstring& rootName) {
    const std::wstring name = TrimRegistryText(rootName);
    for (const RootRow& row : kRootRows) {
        if (EqualsIgnoreCase(name, row.longSpelling) || EqualsIgnoreCase(name, row.shortSpelling)) {
            return row;
        }
    }
    return kRootRows[kFallbackRow];
}

}  // namespace

std::wstring TrimRegistryText(std::wstring_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsTrimmedBlank(text[begin])) ++begin;
    while (end > begin && IsTrimmedBlank(text[end - 1])) --end;
    return std::wstring(text.substr(begin, end - begin));
}

bool EqualsIgnoreCase(const std::wstring& left, const std::wstring& right) {
#ifdef _WIN32
    return _wcsicmp(left.c_str(), right.c_str()) == 0;
#else
    return wcscasecmp(left.c_str(), right.c_str()) == 0;
#endif
}

RegistryRoot ParseRootName(const std::wstring& rootName) { return FindRootRow(rootName).root; }

std::wstring CanonicalRootName(const std::wstring& rootName, bool shortSpelling) {
    const RootRow& row = FindRootRow(rootName);
    return shortSpelling ? row.shortSpelling : row.longSpelling;
}

}  // namespace tqn
