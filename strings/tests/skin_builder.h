#pragma once
// Skin buffers made by hand for the reader's tests, every field open to change.
#include <cstdint>
#include <string>
#include <vector>

#include "crypt/crypt_tool.h"
#include "strings/skin_buffer_reader.h"

namespace tqn::test {

struct SkinEntry {
    uint32_t flag;
    uint32_t key;
    std::wstring text;  // empty: a record of length 0
};

inline void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    if (bytes.size() < at + 4) bytes.resize(at + 4);
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void Put64(std::vector<uint8_t>& bytes, size_t at, uint64_t value) {
    Put32(bytes, at, static_cast<uint32_t>(value));
    Put32(bytes, at + 4, static_cast<uint32_t>(value >> 32));
}

inline std::vector<uint8_t> Transformed(const std::wstring& text) {
    ByteBuffer plain;
    plain.AssignWideString(text);
    ByteBuffer cipher;
    CryptTool().Transform(plain, cipher);
    return {cipher.begin(), cipher.end()};
}

inline std::vector<uint8_t> BuildSkinBuffer(const std::vector<SkinEntry>& entries) {
    const size_t textArea = kSkinHeaderSize + kSkinEntrySize * entries.size();
    std::vector<uint8_t> bytes(textArea, 0);
    Put32(bytes, 20, static_cast<uint32_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const size_t entry = kSkinHeaderSize + kSkinEntrySize * i;
        Put32(bytes, entry, entries[i].flag);
        Put32(bytes, entry + 4, entries[i].key);
        Put32(bytes, entry + 8, static_cast<uint32_t>(bytes.size() - textArea));
        const auto cipher = entries[i].text.empty() ? std::vector<uint8_t>() : Transformed(entries[i].text);
        const size_t record = bytes.size();
        Put32(bytes, record, 0);
        Put32(bytes, record + 4, static_cast<uint32_t>(cipher.size()));
        bytes.insert(bytes.end(), cipher.begin(), cipher.end());
    }
    Put64(bytes, 0, bytes.size() - 8);
    return bytes;
}

}  // namespace tqn::test
