#include "diag/log_folder.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <vector>

#include "diag/log_file.h"
#include "environment/path_tool.h"
#include "platform/scoped_resource.h"

namespace tqn {

namespace {

std::wstring KnownProgramDataFolder() {
    ScopedTaskText path;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, path.Receive()))) return {};
    return path.Get();
}

}  // namespace

std::wstring ConfinedLogFolder(const std::wstring& folder) {
    if (folder.empty()) return {};
    const ProductFolderSources sources = ReadProductFolderSources();
    std::vector<std::wstring> roots;
    for (const std::wstring& root : {KnownProgramDataFolder(), sources.programFolder, sources.installedFolder}) {
        if (!root.empty()) roots.push_back(LogFolderReference(root));
    }
    std::wstring existing = folder, reference;
    while ((reference = LogFolderReference(existing)).empty()) {
        const std::wstring parent = FolderOfPath(existing);
        if (parent == existing) return {};
        existing = parent;
    }
    return IsWithinAnyRoot(reference, roots) ? folder : std::wstring();
}

std::wstring ProductLogFolder(bool makeFolder) {
    RebindPathTool();
    InitializePathTool(0, std::wstring());
    std::wstring folder;
    {
        ScopedPathLookupsLeaveDisk leaveDisk;
        GetFolderPathVariable(L"COMMON_APPDATA", L"LOG_FOLDER", folder);
    }
    if (ConfinedLogFolder(folder).empty()) return {};
    if (makeFolder) GetFolderPathVariable(L"COMMON_APPDATA", L"LOG_FOLDER", folder);
    return ConfinedLogFolder(folder);
}

}  // namespace tqn
