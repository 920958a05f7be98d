#include "platform/file_attributes.h"

namespace tqn {

namespace {
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeReparsePoint = 0x400;
constexpr uint32_t kAttributeOffline = 0x1000;
constexpr uint32_t kAttributeVirtual = 0x10000;
constexpr size_t kMaxPath = 260;

std::wstring AsciiLowerCopy(const std::wstring& text) {
    std::wstring lower = text;
    for (auto& c : lower) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
    }
    return lower;
}
}  // namespace

std::wstring PathForAttributeQuery(const std::wstring& path) {
    if (path.size() > kMaxPath && path.rfind(L"\\\\?\\", 0) != 0) return L"\\\\?\\" + path;
    return path;
}

FilePresence JudgeFileAttributes(uint32_t attributes, const std::wstring& queriedPath,
                                 bool xpProgramData) {
    if (attributes == kInvalidFileAttributes) return {};
    if (attributes & (kAttributeOffline | kAttributeVirtual)) return {};
    if (!(attributes & kAttributeDirectory)) return {true, false};
    if (!(attributes & kAttributeReparsePoint)) return {true, true};
    // On XP, "Documents and Settings" junctions stand for real folders.
    if (xpProgramData &&
        AsciiLowerCopy(queriedPath).find(L":\\documents and settings") != std::wstring::npos) {
        return {true, true};
    }
    return {};
}

}  // namespace tqn
