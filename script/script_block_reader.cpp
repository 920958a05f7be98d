#include "script/script_block_reader.h"

#include <cwctype>
#include <limits>

#include "crypt/crypt_tool.h"
#include "script/script_names.h"

namespace tqn {

namespace {

// Reads little-endian 64-bit words at checked positions of a span.
class BlockCursor {
public:
    explicit BlockCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t Size() const { return bytes_.size(); }

    // True when count bytes start at offset, without overflow.
    bool Holds(uint64_t offset, uint64_t count) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }

    // The word at offset; the caller has checked Holds(offset, 8).
    uint64_t Word(uint64_t offset) const {
        uint64_t value = 0;
        for (int i = 7; i >= 0; --i) value = (value << 8) | bytes_[static_cast<size_t>(offset) + i];
        return value;
    }

    std::span<const uint8_t> Slice(uint64_t offset, uint64_t count) const {
        return bytes_.subspan(static_cast<size_t>(offset), static_cast<size_t>(count));
    }

private:
    std::span<const uint8_t> bytes_;
};

constexpr uint64_t kSectionRecordSize = 24;
constexpr uint64_t kEntryHeaderSize = 16;

// The bytes the block claims as its own, never more than were given.
std::span<const uint8_t> ClaimedBytes(std::span<const uint8_t> block) {
    if (block.size() < kScriptBlockHeaderSize) return {};
    const uint64_t claimed = ClaimedScriptBlockSize(block);
    if (claimed < kScriptBlockHeaderSize) return {};
    return claimed < block.size() ? block.first(static_cast<size_t>(claimed)) : block;
}

std::wstring Utf16Text(const ByteBuffer& bytes) {
    std::wstring text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == 0) break;
        text.push_back(unit);
    }
    return text;
}

}  // namespace

uint64_t ClaimedScriptBlockSize(std::span<const uint8_t> header) {
    const BlockCursor cursor(header);
    return cursor.Holds(0, 8) ? cursor.Word(0) : 0;
}

bool ScriptBlockSizeAcceptable(uint64_t claimedSize, uint64_t objectSize) {
    return claimedSize >= kScriptBlockHeaderSize && claimedSize <= objectSize;
}

bool FindScriptBlockEntry(std::span<const uint8_t> block, uint32_t sectionHash, uint32_t nameHash,
                          std::span<const uint8_t>& cipher) {
    const BlockCursor cursor(ClaimedBytes(block));
    if (cursor.Size() == 0) return false;

    const uint64_t sectionCount = cursor.Word(8);
    uint64_t entryCount = 0;
    uint64_t offset = 0;
    bool sectionFound = false;
    for (uint64_t i = 0; i < sectionCount; ++i) {
        // i is below the number of records that fit, so the product cannot wrap.
        if (i >= (cursor.Size() - kScriptBlockHeaderSize) / kSectionRecordSize) return false;
        const uint64_t record = kScriptBlockHeaderSize + i * kSectionRecordSize;
        if (cursor.Word(record + 8) == sectionHash) {
            entryCount = cursor.Word(record);
            offset = cursor.Word(record + 16);
            sectionFound = true;
            break;
        }
    }
    if (!sectionFound) return false;

    // Each entry takes at least 16 bytes, so the walk ends within the block
    // whatever the count claims.
    for (uint64_t j = 0; j < entryCount; ++j) {
        if (!cursor.Holds(offset, kEntryHeaderSize)) return false;
        const uint64_t hash = cursor.Word(offset);
        const uint64_t length = cursor.Word(offset + 8);
        const uint64_t data = offset + kEntryHeaderSize;
        if (!cursor.Holds(data, length)) return false;
        if (hash == nameHash) {
            cipher = cursor.Slice(data, length);
            return true;
        }
        offset = data + length;
    }
    return false;
}

bool LookupBlockValue(std::span<const uint8_t> block, const std::wstring& section,
                      const std::wstring& name, std::wstring& value) {
    std::span<const uint8_t> cipher;
    if (!FindScriptBlockEntry(block, HashName(section), HashName(name), cipher)) return false;
    if (cipher.empty()) {
        value.clear();
        return true;
    }
    const ByteBuffer enciphered(cipher.begin(), cipher.end());
    ByteBuffer plain;
    if (CryptTool().Decrypt(enciphered, plain) == 0) return false;
    value = plain.size() < 2 ? std::wstring() : Utf16Text(plain);
    return true;
}

std::wstring ScriptBlockName(unsigned long processId) {
    return L"TQScriptDataMap_" + std::to_wstring(processId);
}

uint32_t SettingNumber(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    uint64_t number = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        number = number * 10 + static_cast<uint64_t>(text[i] - L'0');
        if (number > std::numeric_limits<uint32_t>::max()) return std::numeric_limits<uint32_t>::max();
    }
    const auto result = static_cast<uint32_t>(number);
    return negative ? static_cast<uint32_t>(0u - result) : result;
}

}  // namespace tqn
