#include "kit/strings/skin_file.h"

#include <cstdint>
#include <utility>

#include "crypt/utf8_codec.h"

namespace skn {
namespace {

constexpr std::wstring_view kIdPrefix = L"IDS_";

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool IsIdCharacter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'_';
}

std::wstring_view TrimBlanks(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::wstring Hex4(uint32_t value) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text(4, L'0');
    for (int k = 3; k >= 0; --k, value >>= 4) text[static_cast<size_t>(k)] = kDigits[value & 0xF];
    return text;
}

// "IDS_" and at least one more letter, digit or '_'; the prefix is what the
// launcher's lookups carry, so a skin cannot hold a text nobody asks for.
bool IsIdentifier(std::wstring_view id) {
    if (id.size() <= kIdPrefix.size() || id.substr(0, kIdPrefix.size()) != kIdPrefix) return false;
    for (wchar_t c : id) {
        if (!IsIdCharacter(c)) return false;
    }
    return true;
}

// One decoded line: false with error (no "file line N: " prefix) when it is
// malformed; otherwise entry is filled when the line holds a text.
bool ReadLine(std::wstring_view line, SkinText& entry, bool& holdsText, std::wstring& error) {
    holdsText = false;
    for (wchar_t c : line) {
        // A raw control character would be lost or change the lines when the
        // file is edited; a tab is harmless.
        if ((c < 0x20 && c != L'\t') || c == 0x7F) {
            error = L"control character U+" + Hex4(static_cast<uint32_t>(c)) +
                    L" in the line (write line breaks as \\n)";
            return false;
        }
    }
    line = TrimBlanks(line);
    if (line.empty() || line.front() == L'#') return true;

    const size_t separator = line.find(L'=');
    if (separator == std::wstring_view::npos) {
        error = L"expected IDS_NAME = text";
        return false;
    }
    std::wstring_view id = TrimBlanks(line.substr(0, separator));
    entry.withdrawn = !id.empty() && id.front() == L'-';
    if (entry.withdrawn) id = TrimBlanks(id.substr(1));
    if (!IsIdentifier(id)) {
        error = L"an identifier is IDS_ followed by ASCII letters, digits and '_' (got '" + std::wstring(id) + L"')";
        return false;
    }
    entry.id = id;
    entry.text = TrimBlanks(line.substr(separator + 1));  // as written: escapes are the launcher's business
    holdsText = true;
    return true;
}

}  // namespace

bool ParseSkin(std::string_view bytes, std::wstring_view fileName, Skin& skin, std::wstring& error) {
    if (bytes.size() > kLargestSkin) {
        error = std::wstring(fileName) + L" is larger than 1 MiB (" + std::to_wstring(bytes.size()) + L" bytes)";
        return false;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);

    Skin parsed;
    for (size_t lineNumber = 1; !bytes.empty(); ++lineNumber) {
        const size_t end = bytes.find('\n');
        std::string_view raw = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

        std::wstring line;
        std::wstring problem;
        SkinText entry;
        bool holdsText = false;
        const bool decoded = tqn::DecodeUtf8Strict(raw, line);
        if (!decoded) problem = L"the line is not valid UTF-8";
        if (!decoded || !ReadLine(line, entry, holdsText, problem)) {
            error = std::wstring(fileName) + L" line " + std::to_wstring(lineNumber) + L": " + problem;
            return false;
        }
        if (holdsText) {
            entry.line = lineNumber;
            parsed.texts.push_back(std::move(entry));
        }
    }
    // An empty or truncated file would otherwise publish a skin without a single text.
    if (parsed.texts.empty()) {
        error = std::wstring(fileName) + L" holds no texts";
        return false;
    }
    skin = std::move(parsed);
    return true;
}

}  // namespace skn
