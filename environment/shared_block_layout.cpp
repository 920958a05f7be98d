#include "environment/shared_block_layout.h"

#include "crypt/string_crypt_tool.h"

namespace tqn {
namespace {

// Reads foreign bytes front to back; every take is checked against what is left.
class ByteCursor {
public:
    explicit ByteCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t Remaining() const { return bytes_.size() - position_; }

    bool Skip(size_t count) {
        if (Remaining() < count) return false;
        position_ += count;
        return true;
    }

    // A sub-cursor over the next count bytes, or over what is left when fewer remain.
    ByteCursor TakeUpTo(size_t count) {
        const size_t taken = count < Remaining() ? count : Remaining();
        ByteCursor part(bytes_.subspan(position_, taken));
        position_ += taken;
        return part;
    }

    bool ReadU16LE(uint16_t& value) {
        if (Remaining() < 2) return false;
        value = static_cast<uint16_t>(bytes_[position_] | (bytes_[position_ + 1] << 8));
        position_ += 2;
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
};

// A wide character the block can hold: always so where wchar_t is 16 bits.
template <typename Char>
bool FitsOneUnit(Char c) {
    if constexpr (sizeof(Char) > 2) {
        return static_cast<uint32_t>(c) <= 0xFFFF;
    } else {
        return true;
    }
}

bool FieldInside(size_t viewSize, BlockField field) {
    return field.offset <= viewSize && field.bytes <= viewSize - field.offset;
}

}  // namespace

std::wstring ReadBlockText(std::span<const uint8_t> view, BlockField field) {
    std::wstring text;
    ByteCursor cursor(view);
    if (!cursor.Skip(field.offset)) return text;
    ByteCursor inField = cursor.TakeUpTo(field.bytes);
    uint16_t unit = 0;
    while (inField.ReadU16LE(unit) && unit != 0) text.push_back(static_cast<wchar_t>(unit));
    return text;
}

std::wstring ReadEncryptedBlockText(std::span<const uint8_t> view, BlockField field) {
    std::wstring text;
    StringCryptToolW().DecryptFromHex(ReadBlockText(view, field), text);
    return text;
}

bool WriteBlockText(std::span<uint8_t> view, BlockField field, const std::wstring& text) {
    if (!FieldInside(view.size(), field)) return false;
    const size_t units = field.bytes / 2;
    if (text.size() >= units) return false;  // no room for the terminator
    for (wchar_t c : text) {
        if (!FitsOneUnit(c)) return false;
    }
    std::span<uint8_t> bytes = view.subspan(field.offset, field.bytes);
    size_t at = 0;
    for (wchar_t c : text) {
        const auto unit = static_cast<uint16_t>(c);
        bytes[at++] = static_cast<uint8_t>(unit & 0xFF);
        bytes[at++] = static_cast<uint8_t>(unit >> 8);
    }
    for (; at < bytes.size(); ++at) bytes[at] = 0;
    return true;
}

}  // namespace tqn
