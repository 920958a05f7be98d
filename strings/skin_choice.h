#pragma once
// Which skin file serves the system's language: the language's own skin when
// it is usable, else the English one when usable, else the default skin
// unchecked. Plain data in, so every row can be tested without a system.
#include <cstdint>
#include <functional>
#include <string>

namespace tqn {

inline constexpr uint16_t kKoreanLanguage = 0x0412;
inline constexpr uint16_t kJapaneseLanguage = 0x0411;

// pathOf gives a path variable's value in the configuration folder (empty
// when unknown); usable tells whether a path names a usable file. The result
// has every ".dat" made ".skn".
std::wstring ChooseSkinPath(uint16_t languageId, const std::function<std::wstring(const wchar_t*)>& pathOf,
                            const std::function<bool(const std::wstring&)>& usable);

}  // namespace tqn
