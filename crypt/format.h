#pragma once
// printf-style formatting of a wide format into a wide string.
// Use %ls for wide string arguments: it means the same on every compiler.
#include <cstdarg>
#include <string>

namespace tqn {

// Appends the formatted text to target. A null format leaves target unchanged.
void AppendFormat(std::wstring& target, const wchar_t* format, ...);
// Replaces target with the formatted text. A null format leaves target unchanged.
void AssignFormat(std::wstring& target, const wchar_t* format, ...);

// The formatting itself: returns the formatted text.
std::wstring FormatV(const wchar_t* format, va_list args);

}  // namespace tqn
