// libFuzzer target over the "script.scd" parser (clang only; see
// kit/script/CMakeLists.txt). A script that parses is published as the
// script data block, and the launcher's reader must find in it what the
// script sets: the first set of a name in the first section of a name.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "kit/script/script_block_writer.h"
#include "kit/script/script_language.h"
#include "script/script_block_reader.h"
#include "script/script_names.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

// The value the reader should find, matching by hash as the block does; null when none.
const std::wstring* Expected(const scd::Script& script, const std::wstring& section, const std::wstring& name) {
    for (const scd::Section& candidate : script.sections) {
        if (tqn::HashName(candidate.name) != tqn::HashName(section)) continue;
        for (const scd::Setting& setting : candidate.settings) {
            if (tqn::HashName(setting.name) == tqn::HashName(name)) return &setting.value;
        }
        return nullptr;
    }
    return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    scd::Script script;
    std::wstring error;
    if (!scd::ParseScript(bytes, L"script.scd", script, error)) {
        Require(script.sections.empty() && error.rfind(L"script.scd ", 0) == 0);
        return 0;
    }
    const std::vector<uint8_t> block = scd::BuildScriptBlock(script);
    Require(!block.empty());
    for (const scd::Section& section : script.sections) {
        Require(!section.name.empty() && section.name.size() <= scd::kLongestName);
        for (const scd::Setting& setting : section.settings) {
            Require(setting.value.size() <= scd::kLongestValue && setting.value.find(L'\0') == std::wstring::npos);
            const std::wstring* expected = Expected(script, section.name, setting.name);
            std::wstring found;
            Require(tqn::LookupBlockValue(block, section.name, setting.name, found) == (expected != nullptr));
            Require(expected == nullptr || found == *expected);
        }
    }
    return 0;
}
