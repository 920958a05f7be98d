#pragma once
// The script engine's language: "script.scd" parsed into sections of named
// values, every set kept in script order. The grammar and the messages are in
// kit/README.md. Wide text holds UTF-16 code units, one per element, also
// where wchar_t has 32 bits.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace scd {

// The largest script the engine reads.
inline constexpr size_t kLargestScript = 1 << 20;
// A name's length in characters; a value's in UTF-16 units, so that every
// value fits the 512-unit buffers the direct exports fill.
inline constexpr size_t kLongestName = 64;
inline constexpr size_t kLongestValue = 511;

struct Setting {
    std::wstring name;
    std::wstring value;
    size_t line = 0;
};

struct Section {
    std::wstring name;
    size_t line = 0;
    std::vector<Setting> settings;
};

struct Script {
    std::vector<Section> sections;
};

// Parses the bytes of a script (UTF-8, optional BOM, LF or CRLF). On failure
// returns false, leaves script as it was and sets error to one message naming
// the file and the line ("script.scd line 7: ...").
bool ParseScript(std::string_view bytes, std::wstring_view fileName, Script& script, std::wstring& error);

// The section of that name, letter case of A-Z ignored; null when there is none.
const Section* FindSection(const Script& script, std::wstring_view name);

}  // namespace scd
