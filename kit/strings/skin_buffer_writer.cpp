#include "kit/strings/skin_buffer_writer.h"

#include "strings/skin_buffer_reader.h"

#include <limits>

#include "crypt/crypt_tool.h"

namespace skn {
namespace {

void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutU64(std::vector<uint8_t>& out, size_t at, uint64_t value) {
    for (size_t i = 0; i < 8; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The text as UTF-16LE (one unit per element, whatever wchar_t's width) and
// its NUL, through the cipher tool; a missing text gives no bytes.
bool EncipherText(const std::wstring& text, ByteBuffer& enciphered) {
    enciphered.clear();
    if (text.empty()) return true;
    ByteBuffer plain;
    plain.AssignWideString(text);
    return tqn::CryptTool().Transform(plain, enciphered) != 0;
}

}  // namespace

std::vector<uint8_t> BuildSkinBuffer(const Skin& skin) {
    const size_t count = skin.texts.size();
    if (count > (std::numeric_limits<uint32_t>::max() - kBufferHeaderSize) / kEntrySize) return {};
    const size_t textArea = kBufferHeaderSize + kEntrySize * count;
    std::vector<uint8_t> buffer(textArea, 0);
    PutU32(buffer, 20, static_cast<uint32_t>(count));

    ByteBuffer enciphered;
    for (size_t i = 0; i < count; ++i) {
        const SkinText& entry = skin.texts[i];
        if (!EncipherText(entry.text, enciphered)) return {};
        const size_t offset = buffer.size() - textArea;
        if (offset > std::numeric_limits<uint32_t>::max() ||
            enciphered.size() > std::numeric_limits<uint32_t>::max() - kRecordHeaderSize) {
            return {};
        }
        const size_t slot = kBufferHeaderSize + kEntrySize * i;
        PutU32(buffer, slot, entry.withdrawn ? kWithdrawnFlag : kActiveFlag);
        PutU32(buffer, slot + 4, tqn::SkinStringKey(entry.id));
        PutU32(buffer, slot + 8, static_cast<uint32_t>(offset));

        const size_t record = buffer.size();
        buffer.resize(record + kRecordHeaderSize, 0);
        PutU32(buffer, record + 4, static_cast<uint32_t>(enciphered.size()));
        buffer.insert(buffer.end(), enciphered.begin(), enciphered.end());
    }
    PutU64(buffer, 0, buffer.size() - 8);
    return buffer;
}

}  // namespace skn
