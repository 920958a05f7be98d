#include "script/script_connector.h"

#include <array>

#include "environment/caller_token.h"
#include "environment/global_data.h"
#include "environment/path_tool.h"
#include "platform/module_path.h"
#include "platform/scoped_resource.h"
#include "script/script_block_reader.h"
#include "script/script_data.h"
#include "script/script_exports.h"
#include "script/script_names.h"
#include "trust/trusted_loader.h"

namespace tqn {

namespace {

// A module that keeps answering "more" cannot keep the launcher for ever:
// the calls are counted, since a repeated name does not grow the map.
constexpr size_t kMostSetValueCalls = 65536;

template <typename Fn>
Fn Export(HMODULE module, const char* name) {
    if (name == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

void CallIfPresent(script::NoArgFn fn) {
    if (fn != nullptr) fn();
}

std::wstring ScriptFolder(const std::wstring& folder) { return folder.empty() ? ProductFolder() : folder; }

}  // namespace

int32_t ScriptConnector::Load(const std::wstring& section, const std::wstring& folder) {
    OpenGlobalData();
    section_ = section;
    if (OpenScriptData()) {
        mode_ = kSharedBlockMode;
        return 1;
    }

    const std::wstring moduleFolder = ScriptFolder(folder);
    ScopedLibrary module(LoadTrustedScriptModule(moduleFolder + L"\\" + script::kModuleName));
    if (!module) return 0;

    if (::GetProcAddress(module.Get(), "Initialize_All") != nullptr) {
        mode_ = kSharedBlockMode;
        return LoadSharedBlock(module.Get(), moduleFolder);
    }
    mode_ = kDirectMode;
    return RunScriptDirect(module.Get(), section, moduleFolder);
}

int32_t ScriptConnector::LoadSharedBlock(HMODULE module, const std::wstring& folder) {
    const auto lock = Export<script::NoArgFn>(module, "Lock");
    const auto unlock = Export<script::NoArgFn>(module, "UnLock");
    const auto initialize = Export<script::InitializeAllFn>(module, "Initialize_All");
    const auto unInitialize = Export<script::NoArgFn>(module, "UnInitialize_All");
    const auto getScriptBuffer = Export<script::GetScriptBufferAllFn>(module, "GetScriptBuffer_All");
    if (getScriptBuffer == nullptr) return 0;

    CallIfPresent(lock);
    int32_t result = 0;
    // A block that is there before our module built it was made by somebody
    // else: it is neither read nor built over.
    if (!ScriptDataBlockExists() && initialize(BuildCallerToken().c_str()) != 0) {
        const std::wstring scriptPath = folder + L"\\" + script::kScriptFileName;
        if (getScriptBuffer(scriptPath.c_str(), ScriptDataBlockName().c_str()) != 0) {
            MarkScriptDataBuiltByOwnModule();
            result = OpenScriptData() ? 1 : 0;
        }
        CallIfPresent(unInitialize);
    }
    CallIfPresent(unlock);
    return result;
}

int32_t ScriptConnector::RunScriptDirect(HMODULE module, const std::wstring& section,
                                         const std::wstring& folder) {
    values_.clear();
    const auto lock = Export<script::NoArgFn>(module, "Lock");
    const auto unlock = Export<script::NoArgFn>(module, "UnLock");
    const bool suffixed = ::GetProcAddress(module, script::kSuffixedSet.initialize) != nullptr;
    const script::DirectSetNames& names = suffixed ? script::kSuffixedSet : script::kPlainSet;

    const auto initialize = Export<script::InitializeDirectFn>(module, names.initialize);
    if (initialize == nullptr) return 0;
    const auto unInitialize = Export<script::NoArgFn>(module, names.unInitialize);
    const auto loadScript = Export<script::LoadScriptFn>(module, names.loadScript);
    const auto runScript = Export<script::RunScriptFn>(module, names.runScript);
    const auto resetSetValue = Export<script::NoArgFn>(module, names.resetSetValue);
    const auto hasMoreSetValue = Export<script::NoArgFn>(module, names.hasMoreSetValue);
    const auto getNextSetValue = Export<script::GetNextSetValueFn>(module, names.getNextSetValue);
    if (loadScript == nullptr) return 0;

    CallIfPresent(lock);
    const int32_t result = initialize(BuildCallerToken().c_str(), 0, 0, 0);
    const std::wstring scriptPath = folder + L"\\" + script::kScriptFileName;
    // The remaining exports are optional: a set without them yields no values.
    if (result != 0 && loadScript(scriptPath.c_str()) != 0 && runScript != nullptr) {
        runScript(section.c_str(), 1);
        CallIfPresent(resetSetValue);
        for (size_t calls = 0; calls < kMostSetValueCalls && hasMoreSetValue != nullptr &&
                               getNextSetValue != nullptr && hasMoreSetValue() != 0;
             ++calls) {
            std::array<wchar_t, script::kValueCapacity> name{};
            std::array<wchar_t, script::kValueCapacity> value{};
            getNextSetValue(name.data(), value.data());
            // Read only what the buffers hold, terminated or not.
            name.back() = L'\0';
            value.back() = L'\0';
            values_.emplace(NormalizeName(name.data()), value.data());  // the first value stays
        }
    }
    CallIfPresent(unlock);
    CallIfPresent(unInitialize);
    return result;
}

bool ScriptConnector::Lookup(const std::wstring& name, std::wstring& value) const {
    const std::wstring normalized = NormalizeName(name);
    if (mode_ == kDirectMode) {
        const auto found = values_.find(normalized);
        if (found == values_.end()) return false;
        value = found->second;
        return true;
    }
    std::wstring shared;
    if (!LookupSharedValue(section_, normalized, shared) || shared.empty()) return false;
    value = shared;
    return true;
}

bool ScriptConnector::GetString(const std::wstring& name, std::wstring& value) const {
    return Lookup(name, value);
}

bool ScriptConnector::GetNumber(const std::wstring& name, uint32_t& number) const {
    std::wstring text;
    if (!Lookup(name, text)) return false;
    number = SettingNumber(text);
    return true;
}

}  // namespace tqn
