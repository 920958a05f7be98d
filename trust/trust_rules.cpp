#include "trust/trust_rules.h"

#include <cwchar>

namespace tqn {

int32_t NoSignatureResult(uint32_t lastError) {
    const int32_t asSigned = static_cast<int32_t>(lastError);
    int32_t result = asSigned;
    if (asSigned > 0) {
        result = static_cast<int32_t>((lastError & 0xFFFFu) | 0x80070000u);
    }
    // Zero is "success": never let a missing signature come out as trusted.
    if (result >= 0) result = kTrustNoSignature;
    return result;
}

bool IsUnusualNoSignatureResult(int32_t result) {
    return result != kTrustNoSignature && result != kTrustProviderUnknown &&
           result != kTrustSubjectFormUnknown;
}

int CompareNamesIgnoringCase(const std::wstring& a, const std::wstring& b) {
    const auto fold = [](wchar_t c) -> int {
        return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : static_cast<int>(c);
    };
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        const int d = fold(a[i]) - fold(b[i]);
        if (d != 0) return d;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::wstring SignerNameFromBuffer(const wchar_t* text, uint32_t written) {
    if (text == nullptr || written == 0) return {};
    return std::wstring(text, written - 1);
}

int SignerComparisonResult(bool nameRead, const std::wstring& name, const std::wstring& expected) {
    if (!nameRead || name.empty()) return -2;
    return CompareNamesIgnoringCase(name, expected);
}

}  // namespace tqn
