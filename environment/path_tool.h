#pragma once
// The path-tool module "ptl.tqm": loaded from the product folder through the
// trusted loader, its 15 exports bound into one process-wide table, and the
// two lookups (a folder by name, a file by name) the rest of the launcher uses.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <string>

#include "environment/caller_token.h"
#include "environment/path_tool_choice.h"
#include "environment/path_tool_exports.h"
#include "platform/module_path.h"

namespace tqn {

// Loads folder\ptl.tqm when it passes the trusted-loading tests and fills the
// table from it. True when the table is bound afterwards (a module already in
// the process keeps it bound even when this load was refused).
bool BindPathTool(const std::wstring& folder);

// Binds (from folder, or from the product folder when folder is empty) and
// calls Initialize("ptl.dat", folder, fresh caller token, flags). Initialize's
// result, or 0 when binding failed.
int32_t InitializePathTool(uint32_t flags, const std::wstring& folder);

// Fills the empty slots from a "ptl.tqm" already in the process, loading nothing.
void RebindPathTool();

// Drops one reference to "ptl.tqm"; empties the table once the module is gone.
void ReleasePathTool();

// The lookups: out is cleared first and set only on success. Through the
// newer exports they ask the path tool to make the folder (its flag 1).
bool GetFolderPathVariable(const std::wstring& baseVariable, const std::wstring& folderVariable,
                           std::wstring& out);
bool GetFilePathVariable(const std::wstring& folderVariable, const std::wstring& fileVariable,
                         std::wstring& out);
// While one lives, every lookup of the process asks the path tool to leave
// the disk alone (flag 0), whoever makes it: a read-only walk of the start-up uses
// the same code as the start-up without making its folders.
class ScopedPathLookupsLeaveDisk {
public:
    ScopedPathLookupsLeaveDisk();
    ~ScopedPathLookupsLeaveDisk();
    ScopedPathLookupsLeaveDisk(const ScopedPathLookupsLeaveDisk&) = delete;
    ScopedPathLookupsLeaveDisk& operator=(const ScopedPathLookupsLeaveDisk&) = delete;
};

// The file name of a file variable (used by the trace log).
bool GetFileNameVariable(const std::wstring& fileVariable, std::wstring& out);

// "ptl.tqm" in the process and its Initialize slot filled.
bool IsPathToolBound();
// The slot's function, or null (tests look at the table through this).
FARPROC PathToolSlot(size_t slot);

// Where the installer records the product's folder ("RootDir" under
// HKEY_LOCAL_MACHINE, which only administrators may write).
inline constexpr wchar_t kProductKeyPath[] = L"SOFTWARE\\Brennick\\Tarvolin";
inline constexpr wchar_t kRootDirValue[] = L"RootDir";

// What the choice of the product folder rests on, read now: the global
// block's folder, the program folder, and RootDir, the last two as full paths.
ProductFolderSources ReadProductFolderSources();

// The folder the path tool is taken from when none is given: the one stored
// in the global shared block when it names the program folder or RootDir's,
// else the program folder. A stored folder that is not honoured is traced
// once per process.
std::wstring ProductFolder();

}  // namespace tqn
#endif
