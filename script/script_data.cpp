#include "script/script_data.h"

#include "environment/memory_buffer.h"
#include "environment/named_mapping.h"
#include "platform/scoped_resource.h"
#include "script/script_block_reader.h"

namespace tqn {

namespace {

struct ScriptDataState {
    MemoryBufferExW buffer;
    bool builtByOwnModule = false;
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

void MarkScriptDataBuiltByOwnModule() { State().builtByOwnModule = true; }

bool OpenScriptData() {
    ScriptDataState& state = State();
    if (state.buffer.Mapped()) return true;
    if (!state.builtByOwnModule) return false;

    // A missing block, like one whose size is not acceptable, gives 0.
    const std::wstring name = ScriptDataBlockName();
    const uint64_t size = AcceptedScriptBlockSize(name);
    if (size == 0 || size > SIZE_MAX) return false;
    return state.buffer.MapShared(static_cast<size_t>(size), false, name.c_str());
}

std::span<const uint8_t> ScriptDataBytes() {
    const std::span<uint8_t> bytes = State().buffer.Bytes();
    return {bytes.data(), bytes.size()};
}

bool LookupSharedValue(const std::wstring& section, const std::wstring& name, std::wstring& value) {
    return LookupBlockValue(ScriptDataBytes(), section, name, value);
}

}  // namespace tqn
