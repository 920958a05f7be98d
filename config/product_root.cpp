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

std::wstring ReadRootDir() {
    std::wstring rootDir;
    uint32_t type = 0;
    const ProductKey& key = ProductKeyLocation();
    ReadStringValue(IsNtPlatform() != 0, key.rootName, key.keyPath, kRootDirValue, rootDir, type);
    return rootDir;
}

namespace {

enum class RootDirCopy { Store, Leave };

// The gate: reads "productPath", else "RootDir" (which it stores as
// "productPath" when asked to), and compares the folder with the program's.
ProductRootCheck CheckProductRoot(RootDirCopy copy) {
    ProductRootCheck check;
    ConfigConnector connector;
    if (connector.Load() != 0) {
        check.configurationLoaded = true;
        const ConfigModuleTable& table = connector.Table();
        // A file the module could not read would be saved back as the one
        // value written here: every other setting would be lost.
        const bool dataLoaded = table.LoadDataConfig == nullptr || table.LoadDataConfig(0) != 0;
        connector.GetDataString(kProductPathKey, check.productPath);
        if (check.productPath.empty()) {
            check.rootDir = ReadRootDir();
            check.rootDirRead = true;
            check.copiesRootDir = dataLoaded && !check.rootDir.empty();
            if (check.copiesRootDir && copy == RootDirCopy::Store) {
                connector.SetDataString(kProductPathKey, check.rootDir);
                if (table.SaveDataConfig != nullptr) table.SaveDataConfig();
            }
        }
        connector.Unload();
    }
    check.programFolder = ProgramFolder();
    const std::wstring& recorded = check.rootDirRead ? check.rootDir : check.productPath;
    check.confirmed = check.configurationLoaded && !recorded.empty() &&
                      SameProductFolder(recorded, check.programFolder);
    return check;
}

}  // namespace

bool ResolveProductRoot() { return CheckProductRoot(RootDirCopy::Store).confirmed; }

ProductRootCheck InspectProductRoot() { return CheckProductRoot(RootDirCopy::Leave); }

}  // namespace tqn
