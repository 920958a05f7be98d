#pragma once
// The process's script data block "TQScriptDataMap_<pid>": mapped at most
// once, kept until the process ends, and read only when this process's own
// script module built it. The name is predictable and lives in the session's
// namespace, so a block that was there before our module built it belongs to
// somebody else and is never read.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace tqn {

// This process's block name.
std::wstring ScriptDataBlockName();

// Maps the block this process's module built (see MarkScriptDataBuiltByOwnModule);
// never opens another by its name and never creates one. True while a view
// is mapped.
bool OpenScriptData();

// Whether a kernel object of the block's name exists now (whoever made it).
bool ScriptDataBlockExists();

// Called by the connector right after its own module built the block, while
// the module still holds it: takes a handle of the block, which the next
// OpenScriptData maps or lets go.
void MarkScriptDataBuiltByOwnModule();

// The size the named block claims, when it holds the header and fits the
// object (whose size is learnt by mapping it whole); 0 otherwise.
uint64_t AcceptedScriptBlockSize(const std::wstring& name);

// The mapped block, empty while none is mapped.
std::span<const uint8_t> ScriptDataBytes();

// Test seam: runs in OpenScriptData between the size check and the view.
void SetScriptDataSizeCheckedHookForTesting(std::function<void()> hook);

// The lookup in the block (see LookupBlockValue).
bool LookupSharedValue(const std::wstring& section, const std::wstring& name, std::wstring& value);

}  // namespace tqn
#endif
