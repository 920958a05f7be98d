// Launch.exe: the product's start-up program. No window, no console; the
// exit code is 0, or -1 when it ended at once for its elevated copy.
#include <windows.h>

#include "launcher/startup.h"
#include "platform/dll_search.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    // Before any module loads: nothing by name from the current folder or PATH.
    tqn::RestrictDllSearch();
    return tqn::RunLauncher(commandLine != nullptr ? commandLine : L"");
}
