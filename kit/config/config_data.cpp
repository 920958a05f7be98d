#include "kit/config/config_data.h"

#include <algorithm>
#include <cstdint>

#include "crypt/utf8_codec.h"

namespace cfg {
namespace {

constexpr std::string_view kHeader =
    "# data configuration: one key=value a line; \"quoted\" texts take \\\\ \\\" \\n \\r \\t \\uXXXX\n";

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view TrimBlanks(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::wstring Hex4(uint32_t unit) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text(4, L'0');
    for (int k = 3; k >= 0; --k, unit >>= 4) text[static_cast<size_t>(k)] = digits[unit & 0xF];
    return text;
}

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}


void AppendUtf8(uint32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool IsControl(uint32_t unit) { return unit < 0x20 || unit == 0x7F; }
bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Reads the quoted text that starts at line[0]; end is set just past its
// closing quote. What names the part ("key", "value") in messages.
bool ReadQuoted(std::wstring_view line, const wchar_t* what, std::wstring& out, size_t& end, std::wstring& error) {
    out.clear();
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] == L'"') {
            end = i + 1;
            return true;
        }
        if (line[i] != L'\\') {
            out.push_back(line[i]);
            continue;
        }
        if (++i == line.size()) break;
        switch (line[i]) {
            case L'\\': out.push_back(L'\\'); break;
            case L'"': out.push_back(L'"'); break;
            case L'n': out.push_back(L'\n'); break;
            case L'r': out.push_back(L'\r'); break;
            case L't': out.push_back(L'\t'); break;
            case L'u': {
                uint32_t unit = 0;
                for (size_t k = 1; k <= 4; ++k) {
                    const int digit = i + k < line.size() ? HexValue(line[i + k]) : -1;
                    if (digit < 0) {
                        error = std::wstring(L"\\u in the quoted ") + what + L" needs four hex digits";
                        return false;
                    }
                    unit = unit * 16 + static_cast<uint32_t>(digit);
                }
                out.push_back(static_cast<wchar_t>(unit));
                i += 4;
                break;
            }
            default:
                error = std::wstring(L"unknown escape '\\") + line[i] + L"' in the quoted " + what;
                return false;
        }
    }
    error = std::wstring(L"the quoted ") + what + L" has no closing '\"'";
    return false;
}

// Splits one line (blanks trimmed, not a comment) into key and value; rawKey
// is the key as written, for messages.
bool ParseLine(std::wstring_view line, std::wstring& key, std::wstring_view& rawKey, std::wstring& value,
               std::wstring& error) {
    size_t valueStart = 0;
    if (line.front() == L'"') {
        size_t end = 0;
        if (!ReadQuoted(line, L"key", key, end, error)) return false;
        rawKey = line.substr(0, end);
        while (end < line.size() && IsBlank(line[end])) ++end;
        if (end == line.size() || line[end] != L'=') {
            error = end == line.size() ? L"expected key=value" : L"text after the quoted key (expected '=')";
            return false;
        }
        valueStart = end + 1;
    } else {
        const size_t separator = line.find(L'=');
        if (separator == std::wstring_view::npos) {
            error = L"expected key=value";
            return false;
        }
        rawKey = TrimBlanks(line.substr(0, separator));
        key = rawKey;
        valueStart = separator + 1;
    }
    const std::wstring_view rawValue = TrimBlanks(line.substr(valueStart));
    if (rawValue.empty() || rawValue.front() != L'"') {
        value = rawValue;  // unquoted text is taken as it stands, backslashes and all
        return true;
    }
    size_t end = 0;
    if (!ReadQuoted(rawValue, L"value", value, end, error)) return false;
    if (end != rawValue.size()) {
        error = L"text after the quoted value";
        return false;
    }
    return true;
}

// A control character other than tab cannot stand raw in a line: it would
// change the line structure or be lost when the file is edited.
bool FindControlByte(std::string_view line, unsigned& found) {
    for (char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsControl(byte) && byte != '\t') {
            found = byte;
            return true;
        }
    }
    return false;
}

// Plain text is written as it is; quotes are needed for what a plain key or
// value cannot hold or would lose when read.
bool NeedsQuotes(const std::wstring& text, bool isKey) {
    if (text.empty()) return false;
    if (IsBlank(text.front()) || IsBlank(text.back()) || text.front() == L'"') return true;
    if (isKey && (text.front() == L'#' || text.find(L'=') != std::wstring::npos)) return true;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<uint32_t>(text[i]);
        if (IsControl(unit)) return true;
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(static_cast<uint32_t>(text[i + 1]))) {
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            return true;  // a surrogate without its partner: UTF-8 cannot carry it
        }
    }
    return false;
}

// Appends a key or value, quoted when it needs to be; false for a unit that
// does not fit 16 bits.
bool AppendText(const std::wstring& text, bool isKey, std::string& out) {
    const bool quoted = NeedsQuotes(text, isKey);
    if (quoted) out.push_back('"');
    for (size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<uint32_t>(text[i]);
        const uint32_t next = i + 1 < text.size() ? static_cast<uint32_t>(text[i + 1]) : 0;
        if (unit > 0xFFFF) return false;
        if (quoted && (unit == L'\\' || unit == L'"')) {
            out.push_back('\\');
            out.push_back(static_cast<char>(unit));
        } else if (quoted && (unit == L'\n' || unit == L'\r' || unit == L'\t')) {
            out += unit == L'\n' ? "\\n" : unit == L'\r' ? "\\r" : "\\t";
        } else if (IsHighSurrogate(unit) && IsLowSurrogate(next)) {
            AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00), out);
            ++i;
        } else if (IsControl(unit) || IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            const std::wstring hex = Hex4(unit);  // only reached inside quotes
            out += "\\u";
            out.append(hex.begin(), hex.end());
        } else {
            AppendUtf8(unit, out);
        }
    }
    if (quoted) out.push_back('"');
    return true;
}

}  // namespace

bool ParseDataFile(std::string_view bytes, const std::wstring& fileName, Store& store, std::wstring& error) {
    if (bytes.size() > kLargestFile) {
        error = fileName + L" is larger than 1 MiB (" + std::to_wstring(bytes.size()) + L" bytes)";
        return false;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);

    std::map<std::wstring, size_t> lineOfKey;
    Store loaded;
    for (size_t lineNumber = 1; !bytes.empty(); ++lineNumber) {
        const size_t end = bytes.find('\n');
        std::string_view rawLine = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!rawLine.empty() && rawLine.back() == '\r') rawLine.remove_suffix(1);
        const std::wstring where = fileName + L" line " + std::to_wstring(lineNumber) + L": ";

        unsigned control = 0;
        if (FindControlByte(rawLine, control)) {
            error = where + L"control character U+" + Hex4(control) + L" (quote the text and write \\u" +
                    Hex4(control) + L")";
            return false;
        }
        std::wstring decoded;
        if (!tqn::DecodeUtf8Strict(rawLine, decoded)) {
            error = where + L"the line is not valid UTF-8";
            return false;
        }
        const std::wstring_view line = TrimBlanks(decoded);
        if (line.empty() || line.front() == L'#') continue;

        std::wstring key;
        std::wstring_view rawKey;
        std::wstring value;
        if (!ParseLine(line, key, rawKey, value, error)) {
            error = where + error;
            return false;
        }
        if (key.empty()) {
            error = where + L"no key before '='";
            return false;
        }
        if (key.size() > kMaxKeyLength) {
            error = where + L"the key is longer than " + std::to_wstring(kMaxKeyLength) + L" characters";
            return false;
        }
        if (const auto earlier = lineOfKey.find(key); earlier != lineOfKey.end()) {
            error = where + L"key " + std::wstring(rawKey) + L" is already set on line " +
                    std::to_wstring(earlier->second);
            return false;
        }
        lineOfKey.emplace(key, lineNumber);
        loaded.emplace(std::move(key), std::move(value));
    }
    store = std::move(loaded);
    return true;
}

bool WriteDataFile(const Store& store, std::string& bytes, std::wstring& error) {
    bytes.clear();
    std::string text(kHeader);
    for (const auto& [key, value] : store) {
        if (key.empty() || key.size() > kMaxKeyLength) {
            error = L"a key must have 1 to " + std::to_wstring(kMaxKeyLength) + L" characters (got " +
                    std::to_wstring(key.size()) + L")";
            return false;
        }
        std::string line;
        const bool encoded = AppendText(key, true, line) && (line += '=', AppendText(value, false, line));
        if (!encoded) {
            error = L"key " + key + L": a character above U+FFFF is not one UTF-16 unit";
            return false;
        }
        text += line;
        text.push_back('\n');
        if (text.size() > kLargestFile) {
            error = L"the data file would be larger than 1 MiB";
            return false;
        }
    }
    bytes = std::move(text);
    return true;
}

void CopyValueOut(const std::wstring& value, wchar_t* out, size_t capacity, bool terminateLongValues) {
    if (out == nullptr || capacity == 0) return;
    if (!terminateLongValues && value.size() >= capacity) {
        std::copy_n(value.begin(), capacity, out);
        return;
    }
    const size_t count = std::min(value.size(), capacity - 1);
    std::copy_n(value.begin(), count, out);
    out[count] = L'\0';
}

}  // namespace cfg
