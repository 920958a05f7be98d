#include "strings/tests/skin_reader_exercise.h"

#include <span>
#include <string>

#include "strings/skin_buffer_reader.h"

namespace tqn::test {

bool ExerciseSkinReader(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> buffer(data, size);
    const SkinLayout layout = ReadSkinLayout(buffer);
    if (layout.entryCount > 0 && layout.textArea > size) return false;
    std::wstring text;
    FindSkinText(buffer, layout, SkinStringKey(L"IDS_MSG_UAC_CHECK"), text);
    FindSkinText(buffer, layout, SkinStringKey(L"IDS_PRODUCT_NAME"), text);
    // Keys taken from the entries themselves, so that mutated buffers match.
    for (size_t entry = kSkinHeaderSize + 4; entry + 4 <= size && entry < 24 + 12 * 8; entry += kSkinEntrySize) {
        const uint32_t key = static_cast<uint32_t>(data[entry]) | (static_cast<uint32_t>(data[entry + 1]) << 8) |
                             (static_cast<uint32_t>(data[entry + 2]) << 16) |
                             (static_cast<uint32_t>(data[entry + 3]) << 24);
        if (FindSkinText(buffer, layout, key, text) && text.size() * 2 > size) return false;
    }
    // A layout that does not belong to these bytes is not followed.
    FindSkinText(buffer, SkinLayout{0xFFFFFFFFu, 24}, SkinStringKey(L"IDS_PRODUCT_NAME"), text);
    return true;
}

}  // namespace tqn::test
