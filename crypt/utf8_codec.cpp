#include "crypt/utf8_codec.h"

#include <cstdint>

namespace tqn {

namespace {

constexpr uint32_t kReplacement = 0xFFFD;
constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool IsSurrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

void AppendCodePoint(uint32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void AppendWide(uint32_t c, std::wstring& out) {
    if constexpr (kWideIsUtf16) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 | (c >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 | (c & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(c));
}

}  // namespace

std::string EncodeUtf8(const wchar_t* text, size_t count) {
    std::string out;
    if (text == nullptr) return out;
    for (size_t i = 0; i < count; ++i) {
        uint32_t c = static_cast<uint32_t>(text[i]);
        if constexpr (kWideIsUtf16) {
            c &= 0xFFFF;
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count) {
                const uint32_t low = static_cast<uint32_t>(text[i + 1]) & 0xFFFF;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        if (IsSurrogate(c) || c > 0x10FFFF) c = kReplacement;
        AppendCodePoint(c, out);
    }
    return out;
}

std::wstring DecodeUtf8(const char* text, size_t count) {
    std::wstring out;
    if (text == nullptr) return out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < count) {
        const unsigned lead = bytes[i];
        if (lead < 0x80) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        // Length and the allowed range of the second byte (well-formed UTF-8).
        size_t length = 0;
        unsigned low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            out.push_back(static_cast<wchar_t>(kReplacement));
            ++i;
            continue;
        }
        uint32_t c = lead & (0xFF >> (length + 1));
        size_t taken = 1;
        bool complete = true;
        for (; taken < length; ++taken) {
            if (i + taken >= count) {
                complete = false;
                break;
            }
            const unsigned next = bytes[i + taken];
            const unsigned min = taken == 1 ? low : 0x80;
            const unsigned max = taken == 1 ? high : 0xBF;
            if (next < min || next > max) {
                complete = false;
                break;
            }
            c = (c << 6) | (next & 0x3F);
        }
        AppendWide(complete ? c : kReplacement, out);
        i += taken;
    }
    return out;
}

bool DecodeUtf8Strict(std::string_view bytes, std::wstring& units) {
    units.clear();
    const auto fail = [&units] {
        units.clear();
        return false;
    };
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        uint32_t codePoint = lead;
        size_t extra = 0;
        uint32_t smallest = 0;
        if (lead >= 0x80) {
            if ((lead & 0xE0) == 0xC0) {
                codePoint = lead & 0x1F, extra = 1, smallest = 0x80;
            } else if ((lead & 0xF0) == 0xE0) {
                codePoint = lead & 0x0F, extra = 2, smallest = 0x800;
            } else if ((lead & 0xF8) == 0xF0) {
                codePoint = lead & 0x07, extra = 3, smallest = 0x10000;
            } else {
                return fail();
            }
        }
        if (bytes.size() - i - 1 < extra) return fail();
        for (size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return fail();
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        if (codePoint < smallest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return fail();
        }
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            units.push_back(static_cast<wchar_t>(0xD800 + (codePoint >> 10)));
            units.push_back(static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF)));
        } else {
            units.push_back(static_cast<wchar_t>(codePoint));
        }
        i += extra + 1;
    }
    return true;
}

}  // namespace tqn
