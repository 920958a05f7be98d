#include "diag/log_folder.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "diag/log_file.h"
#include "environment/path_tool.h"
#include "platform/scoped_resource.h"

namespace tqn {

namespace {

// FOLDERID_ProgramData, spelt here: taking it from the uuid library links
// every GUID that library defines (about 50 KiB).
constexpr GUID kProgramDataFolderId = {0x62AB5D82, 0xFDC1, 0x4DC3, {0xA9, 0xDD, 0x07, 0x0D, 0x1D, 0x49, 0x5D, 0x97}};

// Asked once: the machine's folder does not move while the program runs.
const std::wstring& KnownProgramDataFolder() {
    static const std::wstring folder = [] {
        ScopedTaskText path;
        if (FAILED(::SHGetKnownFolderPath(kProgramDataFolderId, 0, nullptr, path.Receive()))) return std::wstring();
        return std::wstring(path.Get());
    }();
    return folder;
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
