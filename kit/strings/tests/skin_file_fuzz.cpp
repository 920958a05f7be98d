// libFuzzer target over the ".skn" skin parser (clang only; see
// kit/strings/CMakeLists.txt). A skin that parses is published as the skin
// buffer, and the launcher's reader must find in it the text of the first
// active entry of each key.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "kit/strings/skin_buffer_writer.h"
#include "kit/strings/skin_file.h"
#include "strings/skin_buffer_reader.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

// The entry the reader should find for key: the first active one; null when none.
const skn::SkinText* Expected(const skn::Skin& skin, uint32_t key) {
    for (const skn::SkinText& entry : skin.texts) {
        if (!entry.withdrawn && tqn::SkinStringKey(entry.id) == key) return &entry;
    }
    return nullptr;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    skn::Skin skin;
    std::wstring error;
    if (!skn::ParseSkin(bytes, L"skin_en.skn", skin, error)) {
        Require(skin.texts.empty() && error.rfind(L"skin_en.skn ", 0) == 0);
        return 0;
    }
    Require(!skin.texts.empty());
    const std::vector<uint8_t> buffer = skn::BuildSkinBuffer(skin);
    const tqn::SkinLayout layout = tqn::ReadSkinLayout(buffer);
    Require(layout.entryCount == skin.texts.size());
    for (const skn::SkinText& entry : skin.texts) {
        Require(entry.id.rfind(L"IDS_", 0) == 0 && entry.id.size() > 4);
        Require(entry.text.empty() || (!IsBlank(entry.text.front()) && !IsBlank(entry.text.back())));
        const uint32_t key = tqn::SkinStringKey(entry.id);
        const skn::SkinText* expected = Expected(skin, key);
        std::wstring found;
        const bool present = expected != nullptr && !expected->text.empty();
        Require(tqn::FindSkinText(buffer, layout, key, found) == present);
        Require(!present || found == expected->text);
    }
    return 0;
}
