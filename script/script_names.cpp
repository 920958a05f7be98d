#include "script/script_names.h"

namespace tqn {

std::wstring NormalizeName(std::wstring_view name) {
    std::wstring normalized(name);
    for (wchar_t& c : normalized) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return normalized;
}

uint32_t HashName(std::wstring_view name) {
    if (name.empty()) return 0;
    uint32_t hash = 5381;
    for (const wchar_t c : NormalizeName(name)) {
        // Code units: on a platform with 32-bit wchar_t the text still holds
        // UTF-16 units, one per element.
        hash = hash * 33u + static_cast<uint16_t>(c);
    }
    return hash;
}

}  // namespace tqn
