#include "assoc/value_rules.h"

#include <algorithm>

#include "assoc/registry_text.h"

namespace tqn {
namespace {

constexpr unsigned char kLineFeed = 0x0A;

bool IsNulUnit(const ByteBuffer& data, size_t index) {
    return data[2 * index] == 0 && data[2 * index + 1] == 0;
}

void SetLineFeed(ByteBuffer& data, size_t index) {
    data[2 * index] = kLineFeed;
    data[2 * index + 1] = 0;
}

// Turns the NUL units at the positions [0, count) into line feeds.
ByteBuffer WithLineFeeds(const ByteBuffer& data, size_t count) {
    ByteBuffer lines(data);
    const size_t units = lines.size() / 2;
    for (size_t i = 0; i < count && i < units; ++i) {
        if (IsNulUnit(lines, i)) SetLineFeed(lines, i);
    }
    return lines;
}

}  // namespace

bool IsStringValueType(uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

bool RegistryDataEquals(uint32_t type, const ByteBuffer& data, const std::wstring& expected) {
    if (type == kRegSz || type == kRegExpandSz) {
        return EqualsIgnoreCase(TrimRegistryText(data.ToWideString()), expected);
    }
    if (type == kRegMultiSz) {
        // Every NUL before the last character becomes a line feed; the last stays.
        const size_t units = data.size() / 2;
        const ByteBuffer lines = WithLineFeeds(data, units == 0 ? 0 : units - 1);
        return EqualsIgnoreCase(lines.ToWideString(), expected);
    }
    return false;
}

std::wstring StringValueText(uint32_t type, const ByteBuffer& data) {
    if (type != kRegMultiSz) return data.ToWideString();
    // Keeps the string's own terminator and the list's terminator.
    const size_t units = data.size() / 2;
    const size_t count = std::max<size_t>(units > 2 ? units - 2 : 0, 1);
    return WithLineFeeds(data, count).ToWideString();
}

}  // namespace tqn
