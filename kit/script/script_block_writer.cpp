#include "kit/script/script_block_writer.h"

#include "crypt/crypt_tool.h"
#include "script/script_names.h"

namespace scd {
namespace {

void PutU64(std::vector<uint8_t>& out, size_t at, uint64_t value) {
    for (size_t i = 0; i < 8; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void AppendU64(std::vector<uint8_t>& out, uint64_t value) {
    out.resize(out.size() + 8);
    PutU64(out, out.size() - 8, value);
}

// The text as UTF-16LE (one unit per element, whatever wchar_t's width) and
// its NUL, enciphered; empty text gives no bytes.
bool EncipherValue(const std::wstring& value, ByteBuffer& enciphered) {
    enciphered.clear();
    if (value.empty()) return true;
    ByteBuffer plain;
    plain.AssignWideString(value);
    return tqn::CryptTool().Encrypt(plain, enciphered) != 0;
}

}  // namespace

std::vector<uint8_t> BuildScriptBlock(const Script& script) {
    const size_t sectionCount = script.sections.size();
    std::vector<uint8_t> block(kBlockHeaderSize + kSectionRecordSize * sectionCount, 0);
    PutU64(block, 8, sectionCount);

    ByteBuffer enciphered;
    for (size_t s = 0; s < sectionCount; ++s) {
        const Section& section = script.sections[s];
        // An empty section points where its entries would begin.
        const size_t record = kBlockHeaderSize + kSectionRecordSize * s;
        PutU64(block, record, section.settings.size());
        PutU64(block, record + 8, tqn::HashName(section.name));
        PutU64(block, record + 16, block.size());
        for (const Setting& setting : section.settings) {
            if (!EncipherValue(setting.value, enciphered)) return {};
            AppendU64(block, tqn::HashName(setting.name));
            AppendU64(block, enciphered.size());
            block.insert(block.end(), enciphered.begin(), enciphered.end());
        }
    }
    PutU64(block, 0, block.size());
    return block;
}

}  // namespace scd
