#include "strings/skin_buffer_reader.h"

#include <algorithm>

#include "crypt/crypt_tool.h"

namespace tqn {

namespace {

uint32_t Word32(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<uint32_t>(bytes[at + 2]) << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

uint64_t Word64(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint64_t>(Word32(bytes, at)) | (static_cast<uint64_t>(Word32(bytes, at + 4)) << 32);
}

// The bytes the buffer claims as its own, never more than were mapped.
std::span<const uint8_t> ClaimedBytes(std::span<const uint8_t> buffer) {
    if (buffer.size() < 8) return {};
    const uint64_t length = Word64(buffer, 0);
    if (length >= buffer.size() - 8) return buffer;
    return buffer.first(static_cast<size_t>(length) + 8);
}

void ReplaceAll(std::wstring& text, std::wstring_view from, std::wstring_view to) {
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

}  // namespace

uint32_t SkinStringKey(std::wstring_view id) {
    if (id.empty()) return 0;
    uint32_t key = 5381;
    for (const wchar_t c : id) key = key * 33u + static_cast<uint16_t>(c);
    return key;
}

bool SkinBufferSizeAcceptable(uint64_t claimedLength, uint64_t objectSize) {
    return objectSize >= 8 && claimedLength <= objectSize - 8;
}

SkinLayout ReadSkinLayout(std::span<const uint8_t> buffer) {
    const std::span<const uint8_t> bytes = ClaimedBytes(buffer);
    if (bytes.size() < kSkinHeaderSize) return {};
    const size_t fitting = (bytes.size() - kSkinHeaderSize) / kSkinEntrySize;
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(Word32(bytes, 20), fitting));
    return {count, kSkinHeaderSize + kSkinEntrySize * static_cast<size_t>(count)};
}

bool FindSkinText(std::span<const uint8_t> buffer, const SkinLayout& layout, uint32_t key, std::wstring& text) {
    text.clear();
    const std::span<const uint8_t> bytes = ClaimedBytes(buffer);
    // A layout taken from other bytes than these is not followed.
    if (layout.textArea > bytes.size() ||
        layout.entryCount > (bytes.size() - std::min(bytes.size(), kSkinHeaderSize)) / kSkinEntrySize) {
        return false;
    }
    for (uint32_t i = 0; i < layout.entryCount; ++i) {
        const size_t entry = kSkinHeaderSize + kSkinEntrySize * i;
        if (Word32(bytes, entry) != 0 || Word32(bytes, entry + 4) != key) continue;

        // The first active entry with the key decides.
        const uint64_t record = static_cast<uint64_t>(layout.textArea) + Word32(bytes, entry + 8);
        if (record > bytes.size() || bytes.size() - record < 8) return false;
        const uint32_t length = Word32(bytes, static_cast<size_t>(record) + 4);
        if (length == 0 || length > bytes.size() - record - 8) return false;
        const auto cipher = bytes.subspan(static_cast<size_t>(record) + 8, length);
        ByteBuffer plain;
        if (CryptTool().Transform(ByteBuffer(cipher.begin(), cipher.end()), plain) == 0) return false;
        for (size_t at = 0; at + 1 < plain.size(); at += 2) {
            const auto unit = static_cast<wchar_t>(plain[at] | (plain[at + 1] << 8));
            if (unit == 0) break;
            text.push_back(unit);
        }
        return true;
    }
    return false;
}

bool IsSkinIdentifier(std::wstring_view id) { return id.find(L"IDS_") != std::wstring_view::npos; }

std::wstring ExpandSkinLineBreaks(std::wstring text) {
    ReplaceAll(text, L"\\n", L"\n");
    ReplaceAll(text, L"\\r", L"\r");
    return text;
}

std::wstring SkinPathOf(std::wstring path) {
    ReplaceAll(path, L".dat", L".skn");
    return path;
}

}  // namespace tqn
