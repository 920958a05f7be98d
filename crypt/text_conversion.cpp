#include "crypt/text_conversion.h"

#include <climits>

#include "crypt/hex_text.h"
#include "crypt/md5.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "crypt/utf8_codec.h"
#endif

namespace {

// Every conversion takes the text up to its terminator, as the system calls do.
template <typename Char>
size_t LengthToTerminator(const std::basic_string<Char>& text) {
    const size_t nul = text.find(Char{});
    return nul == std::basic_string<Char>::npos ? text.size() : nul;
}

#ifdef _WIN32

// Wide to multi-byte in the code page; empty on failure.
std::string FromWide(UINT codePage, const wchar_t* text, size_t count) {
    if (count == 0 || count > INT_MAX) return std::string();
    const int length = static_cast<int>(count);
    const int size = WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string result(static_cast<size_t>(size), '\0');
    const int written = WideCharToMultiByte(codePage, 0, text, length, result.data(), size, nullptr, nullptr);
    if (written <= 0) return std::string();
    result.resize(static_cast<size_t>(written));
    return result;
}

#endif

}  // namespace

void WideToUtf8(const std::wstring& text, ByteBuffer& output) {
    output.clear();
    const size_t count = LengthToTerminator(text);
#ifdef _WIN32
    const std::string utf8 = FromWide(CP_UTF8, text.data(), count);
#else
    const std::string utf8 = tqn::EncodeUtf8(text.data(), count);
#endif
    if (!utf8.empty()) output.Assign(utf8.data(), utf8.size());
}

void Utf8ToWide(const std::string& text, std::wstring& output) {
    const size_t count = LengthToTerminator(text);
    if (count == 0) return;
#ifdef _WIN32
    if (count > INT_MAX) return;
    const int length = static_cast<int>(count);
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    if (size <= 0) return;
    std::wstring result(static_cast<size_t>(size), L'\0');
    const int written = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, result.data(), size);
    if (written <= 0) return;
    result.resize(static_cast<size_t>(written));
#else
    std::wstring result = tqn::DecodeUtf8(text.data(), count);
    if (result.empty()) return;
#endif
    output.swap(result);
}

void WideToAnsi(const std::wstring& text, std::string& output) {
    const size_t count = LengthToTerminator(text);
#ifdef _WIN32
    output = FromWide(CP_ACP, text.data(), count);
#else
    // Latin-1 stands in for the ANSI code page here.
    std::string result;
    result.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const auto c = static_cast<unsigned long>(text[i]);
        result.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    }
    output.swap(result);
#endif
}

bool Md5HexOfAnsi(const std::wstring& text, std::wstring& output) {
    output.clear();
    // Empty text, or text the code page turns into nothing, has no digest.
    std::string ansi;
    WideToAnsi(text, ansi);
    if (ansi.empty()) return false;
    const tqn::Md5Digest digest = tqn::Md5(ansi.data(), ansi.size());
    tqn::AppendHexUpper(digest.data(), digest.size(), output);
    return true;
}
