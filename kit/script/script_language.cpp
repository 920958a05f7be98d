#include "kit/script/script_language.h"

#include <cstdint>
#include <map>
#include <utility>

#include "crypt/utf8_codec.h"
#include "script/script_names.h"

namespace scd {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsNameCharacter(wchar_t c) { return IsAsciiLetter(c) || IsDigit(c) || c == L'_'; }
bool IsBareCharacter(wchar_t c) { return IsNameCharacter(c) || c == L'.' || c == L'-'; }

void AppendUnits(uint32_t codePoint, std::wstring& out) {
    if (codePoint >= 0x10000) {
        codePoint -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (codePoint >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(codePoint));
    }
}


std::wstring Hex(uint32_t value) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    while (text.size() < 4) text.insert(text.begin(), L'0');
    return text;
}

// One line of the script, read left to right. Each Read* sets error (without
// the "file line N: " prefix) and returns false on a malformed piece.
class LineReader {
public:
    explicit LineReader(std::wstring_view text) : text_(text) {}

    bool AtEnd() const { return pos_ == text_.size(); }
    wchar_t Peek() const { return AtEnd() ? L'\0' : text_[pos_]; }
    void SkipBlanks() {
        while (!AtEnd() && IsBlank(text_[pos_])) ++pos_;
    }
    bool Take(wchar_t c) {
        if (AtEnd() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }
    bool TakeWord(std::wstring_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }
    // Everything up to a blank or one of the stop characters.
    std::wstring_view TakeToken(std::wstring_view stops) {
        const size_t start = pos_;
        while (!AtEnd() && !IsBlank(text_[pos_]) && stops.find(text_[pos_]) == std::wstring_view::npos) ++pos_;
        return text_.substr(start, pos_ - start);
    }
    std::wstring_view Rest() const { return text_.substr(pos_); }

    // After the opening quote: the text up to the closing one, escapes applied.
    bool ReadQuoted(std::wstring& value, std::wstring& error) {
        while (!AtEnd()) {
            const wchar_t c = text_[pos_++];
            if (c == L'"') return true;
            if (c != L'\\') {
                value.push_back(c);
                continue;
            }
            if (AtEnd()) break;
            const wchar_t escape = text_[pos_++];
            switch (escape) {
                case L'"': value.push_back(L'"'); break;
                case L'\\': value.push_back(L'\\'); break;
                case L'n': value.push_back(L'\n'); break;
                case L'r': value.push_back(L'\r'); break;
                case L't': value.push_back(L'\t'); break;
                case L'u':
                    if (!ReadCodePoint(value, error)) return false;
                    break;
                default:
                    error = std::wstring(L"unknown escape \\") + escape +
                            L" (write \\\" \\\\ \\n \\r \\t or \\u{hex})";
                    return false;
            }
        }
        error = L"the value has no closing '\"'";
        return false;
    }

private:
    // After "\u": "{" 1 to 6 hex digits "}" naming a character other than NUL.
    bool ReadCodePoint(std::wstring& value, std::wstring& error) {
        const wchar_t* const kShape = L"\\u needs 1 to 6 hex digits in braces, as in \\u{E9}";
        if (!Take(L'{')) {
            error = kShape;
            return false;
        }
        uint32_t codePoint = 0;
        const size_t start = pos_;
        for (; !AtEnd() && pos_ - start <= 6; ++pos_) {
            const wchar_t c = text_[pos_];
            uint32_t digit = 0;
            if (IsDigit(c)) {
                digit = static_cast<uint32_t>(c - L'0');
            } else if (c >= L'A' && c <= L'F') {
                digit = static_cast<uint32_t>(c - L'A' + 10);
            } else if (c >= L'a' && c <= L'f') {
                digit = static_cast<uint32_t>(c - L'a' + 10);
            } else {
                break;
            }
            codePoint = codePoint * 16 + digit;
        }
        const std::wstring_view digits = text_.substr(start, pos_ - start);
        if (digits.empty() || digits.size() > 6 || !Take(L'}')) {
            error = kShape;
            return false;
        }
        if (codePoint == 0 || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            error = L"\\u{" + std::wstring(digits) + L"} is not a character a value can hold";
            return false;
        }
        AppendUnits(codePoint, value);
        return true;
    }

    std::wstring_view text_;
    size_t pos_ = 0;
};

bool CheckName(std::wstring_view name, std::wstring& error) {
    bool valid = !name.empty() && !IsDigit(name.front());
    for (wchar_t c : name) valid = valid && IsNameCharacter(c);
    if (!valid) {
        error = L"a name is letters, digits and '_', not starting with a digit (got '" + std::wstring(name) + L"')";
        return false;
    }
    if (name.size() > kLongestName) {
        error = L"a name has at most " + std::to_wstring(kLongestName) + L" characters";
        return false;
    }
    return true;
}

// "set NAME = value", with the reader just past "set".
bool ReadSetting(LineReader& reader, Setting& setting, std::wstring& error) {
    const wchar_t* const kShape = L"expected set NAME = value";
    reader.SkipBlanks();
    const std::wstring_view name = reader.TakeToken(L"=");
    reader.SkipBlanks();
    if (name.empty() || !reader.Take(L'=')) {
        error = kShape;
        return false;
    }
    if (!CheckName(name, error)) return false;
    setting.name = name;
    reader.SkipBlanks();
    if (reader.AtEnd()) {
        error = L"no value for " + setting.name + L" (write \"\" for an empty one)";
        return false;
    }
    if (reader.Take(L'"')) {
        if (!reader.ReadQuoted(setting.value, error)) return false;
    } else {
        const std::wstring_view bare = reader.TakeToken(L"");
        for (wchar_t c : bare) {
            if (!IsBareCharacter(c)) {
                error = L"a bare value is letters, digits, '_', '.' and '-' (put other text in double quotes)";
                return false;
            }
        }
        setting.value = bare;
    }
    reader.SkipBlanks();
    if (!reader.AtEnd()) {
        error = L"unexpected text after the value of " + setting.name + L": '" + std::wstring(reader.Rest()) + L"'";
        return false;
    }
    if (setting.value.size() > kLongestValue) {
        error = L"the value of " + setting.name + L" is longer than " + std::to_wstring(kLongestValue) +
                L" characters";
        return false;
    }
    return true;
}

// "[Name]", with the reader just past the '['.
bool ReadHeader(LineReader& reader, std::wstring& name, std::wstring& error) {
    reader.SkipBlanks();
    const std::wstring_view token = reader.TakeToken(L"]");
    reader.SkipBlanks();
    const bool closed = reader.Take(L']');
    reader.SkipBlanks();
    if (!closed || !reader.AtEnd()) {
        error = L"expected [SectionName]";
        return false;
    }
    if (!CheckName(token, error)) return false;
    name = token;
    return true;
}

// The line of each section opened so far, by normalised name: a search of
// every earlier section per header would make a long script quadratic.
using SectionLines = std::map<std::wstring, size_t>;

// One line into the script being built; false with error on a malformed one.
bool ReadLine(std::wstring_view text, size_t lineNumber, Script& script, SectionLines& sectionLines,
              std::wstring& error) {
    for (wchar_t c : text) {
        if ((c < 0x20 && c != L'\t') || c == 0x7F) {
            error = L"control character U+" + Hex(static_cast<uint32_t>(c)) +
                    L" in the line (write it as an escape in a quoted value)";
            return false;
        }
    }
    LineReader reader(text);
    reader.SkipBlanks();
    if (reader.AtEnd() || reader.Peek() == L'#') return true;

    if (reader.Take(L'[')) {
        Section section;
        section.line = lineNumber;
        if (!ReadHeader(reader, section.name, error)) return false;
        const auto [earlier, opened] = sectionLines.emplace(tqn::NormalizeName(section.name), lineNumber);
        if (!opened) {
            error = L"section " + section.name + L" is already opened on line " + std::to_wstring(earlier->second);
            return false;
        }
        script.sections.push_back(std::move(section));
        return true;
    }

    const bool isSet = reader.TakeWord(L"set") && (reader.AtEnd() || IsBlank(reader.Peek()));
    if (!isSet) {
        error = L"expected set NAME = value";
        return false;
    }
    Setting setting;
    setting.line = lineNumber;
    if (!ReadSetting(reader, setting, error)) return false;
    if (script.sections.empty()) {
        error = L"set outside a section (start one with a [SectionName] line)";
        return false;
    }
    script.sections.back().settings.push_back(std::move(setting));
    return true;
}

}  // namespace

bool ParseScript(std::string_view bytes, std::wstring_view fileName, Script& script, std::wstring& error) {
    if (bytes.size() > kLargestScript) {
        error = std::wstring(fileName) + L" is larger than 1 MiB";
        return false;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);

    Script parsed;
    SectionLines sectionLines;
    for (size_t lineNumber = 1; !bytes.empty(); ++lineNumber) {
        const size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        std::wstring text;
        std::wstring problem;
        const bool decoded = tqn::DecodeUtf8Strict(line, text);
        if (!decoded) problem = L"the line is not valid UTF-8";
        if (!decoded || !ReadLine(text, lineNumber, parsed, sectionLines, problem)) {
            error = std::wstring(fileName) + L" line " + std::to_wstring(lineNumber) + L": " + problem;
            return false;
        }
    }
    script = std::move(parsed);
    return true;
}

const Section* FindSection(const Script& script, std::wstring_view name) {
    const std::wstring wanted = tqn::NormalizeName(name);
    for (const Section& section : script.sections) {
        if (tqn::NormalizeName(section.name) == wanted) return &section;
    }
    return nullptr;
}

}  // namespace scd
