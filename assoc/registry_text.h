#pragma once
// Plain text rules of the registry tool: root names, trimming, and the
// comparison of registry strings. No Windows needed.
#include <cstdint>
#include <string>
#include <string_view>

namespace tqn {

// Registry value types as the registry reports them.
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;

enum class RegistryRoot { ClassesRoot, LocalMachine, CurrentConfig, CurrentUser, Users };

// Removes leading and trailing blanks, tabs, vertical tabs and form feeds;
// carriage returns and line feeds are kept.
std::wstring TrimRegistryText(std::wstring_view text);

// Case-insensitive comparison by the runtime library (_wcsicmp on Windows).
bool EqualsIgnoreCase(const std::wstring& left, const std::wstring& right);

// The root a name stands for, after trimming; unknown names mean the local machine.
RegistryRoot ParseRootName(const std::wstring& rootName);

// The root's long spelling ("HKEY_CURRENT_USER") or short one ("HCU").
std::wstring CanonicalRootName(const std::wstring& rootName, bool shortSpelling);

}  // namespace tqn
