#include "script/script_data.h"

#include <functional>

#include "environment/memory_buffer.h"
#include "environment/named_mapping.h"
#include "platform/scoped_resource.h"
#include "script/script_block_reader.h"

namespace tqn {

namespace {

struct ScriptDataState {
    MemoryBufferExW buffer;
    // The block this process's own module built, held from just after it was
    // built until the view is mapped. The handle, not the name, vouches for
    // it: once that object is gone anybody in the session may take the name.
    ScopedHandle builtByOwnModule;
    std::function<void()> sizeCheckedHook;
};

ScriptDataState& State() {
    static ScriptDataState state;
    return state;
}

}  // namespace

uint64_t AcceptedScriptBlockSize(const std::wstring& name) {
    uint64_t claimed = 0, objectSize = 0;
    if (!ReadMappingHeader(name, claimed, objectSize)) return 0;
    return ScriptBlockSizeAcceptable(claimed, objectSize) ? claimed : 0;
}

std::wstring ScriptDataBlockName() { return ScriptBlockName(::GetCurrentProcessId()); }

bool ScriptDataBlockExists() {
    ScopedHandle probe(::OpenFileMappingW(FILE_MAP_READ, FALSE, ScriptDataBlockName().c_str()));
    // Any object of that name (one we may not open, or of another kind) counts.
    return probe.Valid() || ::GetLastError() != ERROR_FILE_NOT_FOUND;
}

void MarkScriptDataBuiltByOwnModule() {
    // Opened while the module that built it still holds it; a block already
    // gone leaves nothing to vouch for.
    State().builtByOwnModule.Reset(::OpenFileMappingW(FILE_MAP_READ, FALSE, ScriptDataBlockName().c_str()));
}

bool OpenScriptData() {
    ScriptDataState& state = State();
    if (state.buffer.Mapped()) return true;
    // One attempt spends the vouch, whatever it gives.
    ScopedHandle block = std::move(state.builtByOwnModule);
    if (!block) return false;

    // The size is checked and the view mapped on the one object held, never
    // on whatever carries the name by then, and nothing is created.
    uint64_t claimed = 0, objectSize = 0;
    if (!ReadOpenMappingHeader(block.Get(), claimed, objectSize) || !ScriptBlockSizeAcceptable(claimed, objectSize) ||
        claimed > SIZE_MAX) {
        return false;
    }
    if (state.sizeCheckedHook) state.sizeCheckedHook();
    return state.buffer.MapOpened(std::move(block), static_cast<size_t>(claimed));
}

void SetScriptDataSizeCheckedHookForTesting(std::function<void()> hook) {
    State().sizeCheckedHook = std::move(hook);
}

std::span<const uint8_t> ScriptDataBytes() {
    const std::span<uint8_t> bytes = State().buffer.Bytes();
    return {bytes.data(), bytes.size()};
}

bool LookupSharedValue(const std::wstring& section, const std::wstring& name, std::wstring& value) {
    return LookupBlockValue(ScriptDataBytes(), section, name, value);
}

}  // namespace tqn
