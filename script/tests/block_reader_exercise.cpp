#include "script/tests/block_reader_exercise.h"

#include <span>
#include <string>

#include "script/script_block_reader.h"
#include "script/script_names.h"

namespace tqn::test {

bool ExerciseBlockReader(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> block(data, size);
    // The names the launcher asks for, and hashes taken from the bytes
    // themselves so that mutated blocks still match sections and entries.
    const wchar_t* sections[] = {L"CommonData", L"Environment"};
    const wchar_t* names[] = {L"EXT_NAME", L"TRAY_FILE", L"UNINSTALL_FILE", L"EXCEPTION_REPORT_METHOD"};
    for (const wchar_t* section : sections) {
        for (const wchar_t* name : names) {
            std::wstring value;
            LookupBlockValue(block, section, name, value);
        }
    }
    for (size_t at = 16; at + 8 <= size && at < 16 + 24 * 4; at += 8) {
        for (size_t nameAt = 16; nameAt + 4 <= size && nameAt < 512; nameAt += 8) {
            uint32_t sectionHash = 0, nameHash = 0;
            for (int i = 3; i >= 0; --i) sectionHash = (sectionHash << 8) | data[at + i];
            for (int i = 3; i >= 0; --i) nameHash = (nameHash << 8) | data[nameAt + i];
            std::span<const uint8_t> cipher;
            if (FindScriptBlockEntry(block, sectionHash, nameHash, cipher) && !cipher.empty() &&
                (cipher.data() < data || cipher.data() + cipher.size() > data + size)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace tqn::test
