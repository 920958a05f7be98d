#include "config/config_connector.h"

#include <array>

#include "environment/caller_token.h"
#include "environment/path_tool.h"
#include "trust/trusted_loader.h"

namespace tqn {

namespace {

template <typename Fn>
void Resolve(HMODULE module, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

void ResolveTable(HMODULE module, ConfigModuleTable& table) {
#define TQN_RESOLVE_SLOT(name, ...) Resolve(module, #name, table.name);
#define TQN_RESOLVE_UNTYPED_SLOT(name) Resolve(module, #name, table.name);
    TQN_CONFIG_MODULE_EXPORTS(TQN_RESOLVE_SLOT, TQN_RESOLVE_UNTYPED_SLOT)
#undef TQN_RESOLVE_SLOT
#undef TQN_RESOLVE_UNTYPED_SLOT
}

// A key in the module's fixed buffer: cut to 511 characters, zero-filled.
std::array<wchar_t, config::kBufferCapacity> KeyBuffer(const std::wstring& key) {
    std::array<wchar_t, config::kBufferCapacity> buffer{};
    key.copy(buffer.data(), buffer.size() - 1);
    return buffer;
}

}  // namespace

std::wstring ConfigModulePath() {
    RebindPathTool();
    std::wstring path;
    GetFilePathVariable(L"UTIL_FOLDER", L"CONFIG_MODULE", path);
    return path;
}

int32_t ConfigConnector::Load() {
    const std::wstring path = ConfigModulePath();
    if (!path.empty()) module_ = LoadTrustedConfigModule(path);
    if (module_ == nullptr) return 0;

    ResolveTable(module_, table_);
    int32_t result = 0;
    if (table_.Initialize != nullptr) result = table_.Initialize(BuildCallerToken().c_str(), 0, 0);
    loaded_ = 1;
    return result;
}

void ConfigConnector::Unload() {
    if (table_.UnInitialize != nullptr) {
        table_.UnInitialize(0);
        ::FreeLibrary(module_);
        module_ = nullptr;
    }
    loaded_ = 0;
    table_ = ConfigModuleTable{};
}

int32_t ConfigConnector::GetDataString(const std::wstring& key, std::wstring& value) const {
    if (table_.GetDataTypeStr == nullptr || key.empty()) return 0;
    const auto keyBuffer = KeyBuffer(key);
    std::array<wchar_t, config::kBufferCapacity> valueBuffer{};
    const int32_t result = table_.GetDataTypeStr(keyBuffer.data(), valueBuffer.data());
    // Only the buffer is read, whether the module terminated it or not.
    valueBuffer.back() = L'\0';
    value = valueBuffer.data();
    return result;
}

int32_t ConfigConnector::SetDataString(const std::wstring& key, const std::wstring& value) const {
    if (table_.SetDataTypeStr == nullptr || key.empty()) return 0;
    const auto keyBuffer = KeyBuffer(key);
    return table_.SetDataTypeStr(keyBuffer.data(), value.c_str());
}

}  // namespace tqn
