// libFuzzer target over the global block's text fields as any process may
// have written them (clang only; see environment/CMakeLists.txt): the
// product folder and the trace path, read and decrypted as the launcher does.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "crypt/string_crypt_tool.h"
#include "environment/shared_block_layout.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> view(data, size);
    for (const tqn::BlockField field : {tqn::kProductFolderField, tqn::kTracePathField}) {
        const std::wstring text = tqn::ReadEncryptedBlockText(view, field);
        Require(text.find(L'\0') == std::wstring::npos);
        // Only the field's own bytes count.
        if (field.offset < size) {
            const std::vector<uint8_t> alone(data + field.offset, data + std::min(size, field.offset + field.bytes));
            Require(tqn::ReadEncryptedBlockText(alone, {0, field.bytes}) == text);
        }
        // What was read can be written back and reads the same.
        std::wstring again;
        if (!text.empty() && tqn::StringCryptToolW().EncryptToHex(text, again)) {
            std::vector<uint8_t> block(field.bytes);
            if (tqn::WriteBlockText(block, {0, field.bytes}, again)) {
                Require(tqn::ReadEncryptedBlockText(block, {0, field.bytes}) == text);
            }
        }
    }
    return 0;
}
