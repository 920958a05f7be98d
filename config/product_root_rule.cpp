#include "config/product_root_rule.h"

#include <utility>

#include "platform/path_names.h"

namespace tqn {

bool SameProductFolder(std::wstring productPath, std::wstring programFolder) {
    return SameFolderText(std::move(productPath), std::move(programFolder));
}

bool RootDirNamesFolder(const std::wstring& rootDir, const std::wstring& programFolder) {
    return !rootDir.empty() && !programFolder.empty() && SameProductFolder(rootDir, programFolder);
}

}  // namespace tqn
