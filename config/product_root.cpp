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

// The gate: "RootDir" (which only administrators may write) must name the
// program folder. "productPath" lies in the program's own folder tree, so a
// copy of the folder would vouch for itself: it is still read, and stored
// from "RootDir" when empty, but decides nothing. A copy loads no module.
ProductRootCheck CheckProductRoot(RootDirCopy copy) {
    ProductRootCheck check;
    check.rootDir = ReadRootDir();
    check.rootDirRead = true;
    check.programFolder = ProgramFolder();
    if (!RootDirNamesFolder(check.rootDir, check.programFolder)) return check;
    ConfigConnector connector;
    if (connector.Load() != 0) {
        check.configurationLoaded = true;
        const ConfigModuleTable& table = connector.Table();
        // A file the module could not read would be saved back as the one
        // value written here: every other setting would be lost.
        const bool dataLoaded = table.LoadDataConfig == nullptr || table.LoadDataConfig(0) != 0;
        connector.GetDataString(kProductPathKey, check.productPath);
        check.copiesRootDir = dataLoaded && check.productPath.empty();
        if (check.copiesRootDir && copy == RootDirCopy::Store) {
            connector.SetDataString(kProductPathKey, check.rootDir);
            if (table.SaveDataConfig != nullptr) table.SaveDataConfig();
        }
        connector.Unload();
    }
    check.confirmed = check.configurationLoaded;
    return check;
}

}  // namespace

bool RunsFromInstalledFolder() { return RootDirNamesFolder(ReadRootDir(), ProgramFolder()); }

bool ResolveProductRoot() { return CheckProductRoot(RootDirCopy::Store).confirmed; }

ProductRootCheck InspectProductRoot() { return CheckProductRoot(RootDirCopy::Leave); }

}  // namespace tqn
