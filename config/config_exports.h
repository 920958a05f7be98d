#pragma once
// The configuration module's exports, in the order of the connector's table,
// and the call shapes of those the launcher calls.
#include <cstddef>
#include <cstdint>

namespace tqn::config {

inline constexpr size_t kBufferCapacity = 512;  // key and value buffers, wide characters

using InitializeFn = int32_t (*)(const wchar_t* callerToken, int32_t, int32_t);
using UnInitializeFn = int32_t (*)(int32_t);
using LoadDataConfigFn = int32_t (*)(int32_t);
using SaveDataConfigFn = int32_t (*)();
using GetDataTypeStrFn = int32_t (*)(const wchar_t* key, wchar_t* value);
using SetDataTypeStrFn = int32_t (*)(const wchar_t* key, const wchar_t* value);

}  // namespace tqn::config

// Every export in table order: TYPED(name, call shape) for the ones the
// launcher calls, UNTYPED(name) for those it only resolves.
#define TQN_CONFIG_MODULE_EXPORTS(TYPED, UNTYPED) \
    TYPED(Initialize, InitializeFn) \
    TYPED(UnInitialize, UnInitializeFn) \
    UNTYPED(LoadConfig) \
    UNTYPED(SaveUserConfig) \
    UNTYPED(SaveUserConfig2) \
    UNTYPED(GetConfigTypeBool) \
    UNTYPED(GetConfigTypeInt) \
    UNTYPED(GetConfigTypeStr) \
    UNTYPED(SetConfigTypeBool) \
    UNTYPED(SetConfigTypeInt) \
    UNTYPED(SetConfigTypeStr) \
    TYPED(LoadDataConfig, LoadDataConfigFn) \
    TYPED(SaveDataConfig, SaveDataConfigFn) \
    UNTYPED(GetDataTypeBool) \
    UNTYPED(GetDataTypeInt) \
    TYPED(GetDataTypeStr, GetDataTypeStrFn) \
    UNTYPED(SetDataTypeBool) \
    UNTYPED(SetDataTypeInt) \
    TYPED(SetDataTypeStr, SetDataTypeStrFn) \
    UNTYPED(LoadUserInfo) \
    UNTYPED(SaveUserInfo) \
    UNTYPED(GetUserInfo) \
    UNTYPED(SetUserInfo) \
    UNTYPED(GetTarvolinProductType) \
    UNTYPED(LoadAgentInfo) \
    UNTYPED(SaveAgentInfo) \
    UNTYPED(GetAgentInfoTypeBool) \
    UNTYPED(GetAgentInfoTypeInt) \
    UNTYPED(GetAgentInfoTypeStr) \
    UNTYPED(SetAgentInfoTypeBool) \
    UNTYPED(SetAgentInfoTypeInt) \
    UNTYPED(SetAgentInfoTypeStr) \
    UNTYPED(GetAgentListToString) \
    UNTYPED(FreeStringList) \
    UNTYPED(SetConfigLock) \
    UNTYPED(SetConfigUnlock) \
    UNTYPED(SetConfigUserLock) \
    UNTYPED(SetConfigUserUnlock) \
    UNTYPED(SetAgentLock) \
    UNTYPED(SetAgentUnlock) \
    UNTYPED(CheckFileChange) \
    UNTYPED(GetLoadedFileRevision) \
    UNTYPED(GetScheduleWorkList) \
    UNTYPED(FreeScheduleWorkList) \
    UNTYPED(CheckConfigFile) \
    UNTYPED(CloseConfig)
