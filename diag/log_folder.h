#pragma once
// Where the trace file and the crash dump may go. The launcher may run
// elevated with an environment the caller chose, and the path tool's log
// folder can follow an environment variable ("ProgramData"): the folder is
// used only when its handle's final path lies in the machine's program data
// folder (the known folder, which no environment moves), the program folder
// or the folder the installer recorded (RootDir).
#ifdef _WIN32
#include <string>

namespace tqn {

// The folder when it lies in one of those places (a folder not made yet:
// when the nearest one on its way that exists does); empty otherwise.
std::wstring ConfinedLogFolder(const std::wstring& folder);

// The product's log folder (COMMON_APPDATA\LOG_FOLDER) as the path tool
// names it, when it is confined as above; nothing is made elsewhere. The
// launcher's lookup makes the folder; with makeFolder false the lookup
// leaves the disk alone. Empty when the path tool cannot say.
std::wstring ProductLogFolder(bool makeFolder);

}  // namespace tqn
#endif
