#pragma once
// The product's configuration module (the path variable CONFIG_MODULE):
// loaded only when signed by one of the maker's names and trusted, its
// exports resolved by name into a table, and its data configuration read and
// written by key. Callers keep one on the stack for one task.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <string>

#include "config/config_exports.h"

namespace tqn {

// One slot per export, in the module's table order; null when absent.
struct ConfigModuleTable {
#define TQN_TYPED_SLOT(name, shape) config::shape name = nullptr;
#define TQN_UNTYPED_SLOT(name) FARPROC name = nullptr;
    TQN_CONFIG_MODULE_EXPORTS(TQN_TYPED_SLOT, TQN_UNTYPED_SLOT)
#undef TQN_TYPED_SLOT
#undef TQN_UNTYPED_SLOT
};

class ConfigConnector {
public:
    ConfigConnector() = default;
    // Does not unload: Unload must be called.
    virtual ~ConfigConnector() = default;
    ConfigConnector(const ConfigConnector&) = delete;
    ConfigConnector& operator=(const ConfigConnector&) = delete;

    // Finds, tests, loads and initialises the module. Initialize's result, or
    // 0 when nothing was loaded or the module has no Initialize.
    int32_t Load();
    // UnInitialize and release the module when it has UnInitialize (a module
    // without it stays loaded); the table is emptied either way.
    void Unload();

    // The value of key in the data configuration: the module's result; value
    // is left alone when the export is missing or the key empty.
    int32_t GetDataString(const std::wstring& key, std::wstring& value) const;
    int32_t SetDataString(const std::wstring& key, const std::wstring& value) const;

    const ConfigModuleTable& Table() const { return table_; }
    HMODULE Module() const { return module_; }
    bool Loaded() const { return loaded_ != 0; }

private:
    HMODULE module_ = nullptr;
    int32_t loaded_ = 0;
    ConfigModuleTable table_;
};

// The configuration module's path from the path tool, or empty.
std::wstring ConfigModulePath();

}  // namespace tqn
#endif
