#pragma once
// Script data blocks made by hand for the reader's tests: the layout written
// out field by field, with every field open to change.
#include <cstdint>
#include <string>
#include <vector>

#include "crypt/crypt_tool.h"
#include "script/script_names.h"

namespace tqn::test {

struct BlockEntry {
    uint64_t nameHash;
    std::vector<uint8_t> cipher;
};

struct BlockSection {
    uint64_t hash;
    std::vector<BlockEntry> entries;
    // Set to override the record's count (defaults to the entries' number).
    int64_t claimedCount = -1;
};

inline void PutWord(std::vector<uint8_t>& bytes, size_t at, uint64_t value) {
    if (bytes.size() < at + 8) bytes.resize(at + 8);
    for (int i = 0; i < 8; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint64_t GetWord(const std::vector<uint8_t>& bytes, size_t at) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | bytes[at + i];
    return value;
}

// UTF-16LE with a terminator, enciphered as the script module stores values.
inline std::vector<uint8_t> Encipher(const std::wstring& text) {
    ByteBuffer plain;
    plain.AssignWideString(text);
    ByteBuffer cipher;
    CryptTool().Encrypt(plain, cipher);
    return {cipher.begin(), cipher.end()};
}

inline BlockEntry Entry(const std::wstring& name, const std::wstring& value) {
    return {HashName(name), value.empty() ? std::vector<uint8_t>() : Encipher(value)};
}

inline std::vector<uint8_t> BuildBlock(const std::vector<BlockSection>& sections) {
    std::vector<uint8_t> bytes(16 + 24 * sections.size(), 0);
    PutWord(bytes, 8, sections.size());
    for (size_t i = 0; i < sections.size(); ++i) {
        const BlockSection& section = sections[i];
        const size_t record = 16 + 24 * i;
        PutWord(bytes, record, section.claimedCount >= 0 ? static_cast<uint64_t>(section.claimedCount)
                                                         : section.entries.size());
        PutWord(bytes, record + 8, section.hash);
        PutWord(bytes, record + 16, bytes.size());
        for (const BlockEntry& entry : section.entries) {
            const size_t at = bytes.size();
            PutWord(bytes, at, entry.nameHash);
            PutWord(bytes, at + 8, entry.cipher.size());
            bytes.insert(bytes.end(), entry.cipher.begin(), entry.cipher.end());
        }
    }
    PutWord(bytes, 0, bytes.size());
    return bytes;
}

}  // namespace tqn::test
