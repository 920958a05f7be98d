// Launch.exe: the product's start-up program. No window, no console; the
// exit code is 0, or -1 when it ended at once for its elevated copy.
#include <windows.h>

#include "launcher/startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    return tqn::RunLauncher(commandLine != nullptr ? commandLine : L"");
}
