#include "config/product_root.h"

#include <cstdint>

#include "assoc/registry_tool.h"
#include "config/config_connector.h"
#include "config/product_root_rule.h"
#include "platform/module_path.h"
#include "platform/os_info.h"

namespace tqn {

namespace {

struct ProductKey {
    std::wstring rootName = L"HLM";
    std::wstring keyPath = kProductKeyPath;
};

ProductKey& ProductKeyLocation() {
    static ProductKey key;
    return key;
}

}  // namespace

void SetProductKeyForTesting(const std::wstring& rootName, const std::wstring& keyPath) {
    ProductKeyLocation() = rootName.empty() ? ProductKey{} : ProductKey{rootName, keyPath};
}

bool ResolveProductRoot() {
    bool result = false;
    std::wstring productPath;
    ConfigConnector connector;
    if (connector.Load() != 0) {
        const ConfigModuleTable& table = connector.Table();
        if (table.LoadDataConfig != nullptr) table.LoadDataConfig(0);
        connector.GetDataString(kProductPathKey, productPath);
        result = true;
        if (productPath.empty()) {
            uint32_t type = 0;
            const ProductKey& key = ProductKeyLocation();
            ReadStringValue(IsNtPlatform() != 0, key.rootName, key.keyPath, kRootDirValue, productPath, type);
            result = false;
            if (!productPath.empty()) {
                connector.SetDataString(kProductPathKey, productPath);
                if (table.SaveDataConfig != nullptr) table.SaveDataConfig();
                result = true;
            }
        }
        connector.Unload();
    }
    return result && SameProductFolder(productPath, ProgramFolder());
}

}  // namespace tqn
