#include "crypt/format.h"

#include <cwchar>
#include <vector>

namespace tqn {

namespace {
// Beyond this the result is kept cut rather than grown further: a format
// that keeps failing for another reason than room must not loop for ever.
constexpr size_t kMaxFormattedChars = size_t{1} << 20;
}  // namespace

std::wstring FormatV(const wchar_t* format, va_list args) {
    size_t capacity = 256;
    for (;;) {
        std::vector<wchar_t> buffer(capacity + 1, L'\0');
        va_list copy;
        va_copy(copy, args);
        const int written = std::vswprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        buffer.back() = L'\0';
        const bool truncated = written < 0 || static_cast<size_t>(written) > capacity;
        if (truncated && buffer[0] != L'\0' && capacity < kMaxFormattedChars) {
            capacity *= 2;
            continue;
        }
        return std::wstring(buffer.data());
    }
}

void AppendFormat(std::wstring& target, const wchar_t* format, ...) {
    if (format == nullptr) return;
    va_list args;
    va_start(args, format);
    target += FormatV(format, args);
    va_end(args);
}

void AssignFormat(std::wstring& target, const wchar_t* format, ...) {
    if (format == nullptr) return;
    va_list args;
    va_start(args, format);
    target = FormatV(format, args);
    va_end(args);
}

}  // namespace tqn
