#pragma once
// Where DLLs may come from. A launcher that runs elevated must not pick up a
// DLL from its current folder or from PATH, both of which the caller chooses.
#ifdef _WIN32
#include <windows.h>

#include <string>

namespace tqn {

// For the whole process, from now on: DLLs loaded by name come from the
// system folder only. Call first thing, before any module is loaded. Where
// the system lacks SetDefaultDllDirectories, at least the current folder
// leaves the search. False when neither could be set.
bool RestrictDllSearch();

// Loads a module by its full path so that its own dependencies come from
// its folder and the system folder only. Where the system lacks those load
// flags, the module's folder takes the place of the program's in the search.
HMODULE LoadModuleFromItsFolder(const std::wstring& path);

}  // namespace tqn
#endif
