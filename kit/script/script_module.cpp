// The script engine "script.dll": runs "script.scd" and hands its sets to the
// launcher, either as a named data block (the "_All" exports) or one set at a
// time (the direct exports). Each variant's .def file picks its names.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "environment/caller_token.h"
#include "kit/module_support/small_file.h"
#include "kit/script/script_block_writer.h"
#include "kit/script/script_language.h"
#include "platform/scoped_resource.h"
#include "platform/sync_object.h"

namespace {

// The direct exports' buffers hold 512 wide characters, terminator included.
constexpr size_t kOutputCapacity = 512;

// One lock for the module's state. The caller's Lock/UnLock take it too, so a
// caller holding it can still call every export on the same thread.
tqn::SyncObjectEx g_sync;
std::atomic<DWORD> g_callerLockOwner{0};
int g_callerLockDepth = 0;  // changed only by the thread in g_callerLockOwner

bool g_initialised = false;
bool g_loaded = false;
scd::Script g_script;
std::vector<scd::Setting> g_selection;
size_t g_cursor = 0;
// Blocks made by GetScriptBuffer_All live until UnInitialize_All or unload:
// the caller opens them by name after the call returns.
std::vector<tqn::ScopedHandle> g_blocks;

void Report(const std::wstring& message) { ::OutputDebugStringW((L"script: " + message + L"\n").c_str()); }

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Reads and parses the whole script; reports and returns false on any fault.
bool LoadScriptFile(const wchar_t* path, scd::Script& script) {
    if (path == nullptr || *path == L'\0') {
        Report(L"no script path given");
        return false;
    }
    std::string bytes;
    std::wstring error;
    const auto read = tqn::kit::ReadSmallFile(path, scd::kLargestScript, bytes, error);
    if (read == tqn::kit::SmallFileRead::Missing) error = L"cannot open " + std::wstring(path) + L" (no such file)";
    if (read != tqn::kit::SmallFileRead::Read || !scd::ParseScript(bytes, FileNameOf(path), script, error)) {
        Report(error);
        return false;
    }
    return true;
}

void ForgetScript() {
    g_loaded = false;
    g_script = scd::Script();
    g_selection.clear();
    g_cursor = 0;
}

int32_t BeginSession(const wchar_t* token, const wchar_t* exportName) {
    tqn::SyncObjectEx::Guard guard(g_sync);
    ForgetScript();
    g_initialised = token != nullptr && tqn::CallerTokenMatchesSystem(token);
    if (!g_initialised) Report(std::wstring(exportName) + L": the caller token does not match this system");
    return g_initialised ? 1 : 0;
}

// Copies at most 511 characters and a terminator into a 512-character buffer.
void CopyOut(const std::wstring& text, wchar_t* out) {
    const size_t count = text.size() < kOutputCapacity ? text.size() : kOutputCapacity - 1;
    text.copy(out, count);
    out[count] = L'\0';
}

// Creates the named block and copies the bytes in; refuses a name that exists.
bool PublishBlock(const std::vector<uint8_t>& block, const wchar_t* blockName) {
    const uint64_t size = block.size();
    ::SetLastError(ERROR_SUCCESS);  // only "already exists" is read on success
    // Default security: the block is for the calling process, which opens it by
    // name next; no access is granted beyond the process token's default.
    tqn::ScopedHandle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                                   static_cast<DWORD>(size >> 32), static_cast<DWORD>(size),
                                                   blockName));
    const DWORD error = ::GetLastError();
    if (!mapping || error == ERROR_ALREADY_EXISTS) {
        // Never write into a block somebody else made.
        Report(std::wstring(L"cannot create the block ") + blockName + L" (error " + std::to_wstring(error) + L")");
        return false;
    }
    tqn::ScopedView view(::MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, block.size()));
    if (!view) {
        Report(std::wstring(L"cannot map the block ") + blockName + L" (error " +
               std::to_wstring(::GetLastError()) + L")");
        return false;
    }
    std::memcpy(view.Get(), block.data(), block.size());
    view.Reset();
    g_blocks.push_back(std::move(mapping));
    return true;
}

}  // namespace

extern "C" {

int32_t __stdcall Lock() {
    if (!g_sync.Enter()) return 0;
    g_callerLockOwner = ::GetCurrentThreadId();
    ++g_callerLockDepth;
    return 1;
}

// Only the thread that called Lock can release it.
int32_t __stdcall UnLock() {
    if (g_callerLockOwner != ::GetCurrentThreadId()) return 0;
    if (--g_callerLockDepth == 0) g_callerLockOwner = 0;
    g_sync.Leave();
    return 1;
}

// The shared-block set.

int32_t __stdcall Initialize_All(const wchar_t* callerToken) { return BeginSession(callerToken, L"Initialize_All"); }

int32_t __stdcall UnInitialize_All() {
    tqn::SyncObjectEx::Guard guard(g_sync);
    g_initialised = false;
    ForgetScript();
    g_blocks.clear();
    return 1;
}

int32_t __stdcall GetScriptBuffer_All(const wchar_t* scriptPath, const wchar_t* blockName) {
    tqn::SyncObjectEx::Guard guard(g_sync);
    if (!g_initialised) return 0;
    if (blockName == nullptr || *blockName == L'\0') {
        Report(L"GetScriptBuffer_All needs a block name");
        return 0;
    }
    scd::Script script;
    if (!LoadScriptFile(scriptPath, script)) return 0;
    const std::vector<uint8_t> block = scd::BuildScriptBlock(script);
    if (block.empty()) {
        Report(L"cannot encipher the script's values");
        return 0;
    }
    return PublishBlock(block, blockName) ? 1 : 0;
}

// The fleeting variant exports this as GetScriptBuffer_All: the block is
// built and let go at once, so it is gone before the caller can open it.
int32_t __stdcall GetScriptBufferFleeting_All(const wchar_t* scriptPath, const wchar_t* blockName) {
    tqn::SyncObjectEx::Guard guard(g_sync);
    const int32_t result = GetScriptBuffer_All(scriptPath, blockName);
    g_blocks.clear();
    return result;
}

// The direct sets: one implementation under two sets of names.

int32_t __stdcall Initialize_ScriptData(const wchar_t* callerToken, int32_t, int32_t, int32_t) {
    return BeginSession(callerToken, L"Initialize_ScriptData");
}

int32_t __stdcall UnInitialize_ScriptData() {
    tqn::SyncObjectEx::Guard guard(g_sync);
    g_initialised = false;
    ForgetScript();
    return 1;
}

int32_t __stdcall LoadScript_ScriptData(const wchar_t* scriptPath) {
    tqn::SyncObjectEx::Guard guard(g_sync);
    if (!g_initialised) return 0;
    ForgetScript();
    if (!LoadScriptFile(scriptPath, g_script)) return 0;
    g_loaded = true;
    return 1;
}

int32_t __stdcall RunScript_ScriptData(const wchar_t* section, int32_t mode) {
    tqn::SyncObjectEx::Guard guard(g_sync);
    g_selection.clear();
    g_cursor = 0;
    if (!g_initialised || !g_loaded || section == nullptr) return 0;
    if (mode != 1) {
        Report(L"RunScript: unknown mode " + std::to_wstring(mode));
        return 0;
    }
    const scd::Section* found = scd::FindSection(g_script, section);
    if (found == nullptr) return 0;
    g_selection = found->settings;
    return 1;
}

int32_t __stdcall ResetSetValue_ScriptData() {
    tqn::SyncObjectEx::Guard guard(g_sync);
    if (!g_initialised) return 0;
    g_cursor = 0;
    return 1;
}

int32_t __stdcall HasMoreSetValue_ScriptData() {
    tqn::SyncObjectEx::Guard guard(g_sync);
    return g_initialised && g_cursor < g_selection.size() ? 1 : 0;
}

int32_t __stdcall GetNextSetValue_ScriptData(wchar_t* name, wchar_t* value) {
    tqn::SyncObjectEx::Guard guard(g_sync);
    if (!g_initialised || name == nullptr || value == nullptr || g_cursor >= g_selection.size()) return 0;
    const scd::Setting& setting = g_selection[g_cursor++];
    CopyOut(setting.name, name);
    CopyOut(setting.value, value);
    return 1;
}

// The endless variant exports these two under the suffixed names: an engine
// that never stops answering "more" and hands out its first set's name every
// time (with the section's values in turn).
int32_t __stdcall HasMoreSetValueForEver() { return 1; }

int32_t __stdcall GetNextSetValueSameName(wchar_t* name, wchar_t* value) {
    tqn::SyncObjectEx::Guard guard(g_sync);
    if (!g_initialised || name == nullptr || value == nullptr || g_selection.empty()) return 0;
    CopyOut(g_selection.front().name, name);
    CopyOut(g_selection[g_cursor++ % g_selection.size()].value, value);
    return 1;
}

int32_t __stdcall Initialize(const wchar_t* callerToken, int32_t, int32_t, int32_t) {
    return BeginSession(callerToken, L"Initialize");
}
int32_t __stdcall LoadScript(const wchar_t* scriptPath) { return LoadScript_ScriptData(scriptPath); }
int32_t __stdcall RunScript(const wchar_t* section, int32_t mode) { return RunScript_ScriptData(section, mode); }
int32_t __stdcall ResetSetValue() { return ResetSetValue_ScriptData(); }
int32_t __stdcall HasMoreSetValue() { return HasMoreSetValue_ScriptData(); }
int32_t __stdcall GetNextSetValue(wchar_t* name, wchar_t* value) { return GetNextSetValue_ScriptData(name, value); }

}  // extern "C"
