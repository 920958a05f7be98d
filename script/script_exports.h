#pragma once
// The script module "script.dll": its export names and call shapes. A module
// exports the shared-block set or one of the two direct sets.
#include <cstdint>

namespace tqn::script {

inline constexpr wchar_t kModuleName[] = L"script.dll";
inline constexpr wchar_t kScriptFileName[] = L"script.scd";
// Buffers handed to get-next-set-value, in wide characters each.
inline constexpr size_t kValueCapacity = 512;

using NoArgFn = int32_t (*)();
using InitializeAllFn = int32_t (*)(const wchar_t* callerToken);
using GetScriptBufferAllFn = int32_t (*)(const wchar_t* scriptPath, const wchar_t* blockName);
using InitializeDirectFn = int32_t (*)(const wchar_t* callerToken, int32_t, int32_t, int32_t);
using LoadScriptFn = int32_t (*)(const wchar_t* scriptPath);
using RunScriptFn = int32_t (*)(const wchar_t* section, int32_t);
using GetNextSetValueFn = int32_t (*)(wchar_t* name, wchar_t* value);

// The names of one direct set, suffixed or not.
struct DirectSetNames {
    const char* initialize;
    const char* unInitialize;  // null: the set has none
    const char* loadScript;
    const char* runScript;
    const char* resetSetValue;
    const char* hasMoreSetValue;
    const char* getNextSetValue;
};

inline constexpr DirectSetNames kSuffixedSet{
    "Initialize_ScriptData",     "UnInitialize_ScriptData",    "LoadScript_ScriptData",
    "RunScript_ScriptData",      "ResetSetValue_ScriptData",   "HasMoreSetValue_ScriptData",
    "GetNextSetValue_ScriptData"};
inline constexpr DirectSetNames kPlainSet{
    "Initialize", nullptr, "LoadScript", "RunScript", "ResetSetValue", "HasMoreSetValue",
    "GetNextSetValue"};

}  // namespace tqn::script
