#pragma once
// What start-up does for a command line: start the uninstaller, or start the
// tray program with which arguments, after consulting the uninstall guard or
// not, and whether its elevation is dropped. A plain function of the text.
#include <string>

namespace tqn {

struct Dispatch {
    bool uninstall = false;         // "/uninstall", the whole line in any case
    bool consultGuard = false;      // a running uninstall suppresses the start
    std::wstring trayArguments;     // for the tray program
    bool dropElevation = false;
};

// The tests are case-sensitive substring searches, in this order: "/install",
// "/silent", any other text, the empty line.
Dispatch ChooseDispatch(const std::wstring& commandLine);

// Where the elevation flow goes after a "runas" shell call.
enum class ElevationOutcome {
    Stop,       // the caller ends at once (exit code -1)
    EndNormally,  // the caller ends with 0, nothing repaired or started
    AskUser,    // the prompt was declined: explain, and on Yes try once more
};
ElevationOutcome AfterRunas(long long shellResult, bool askAgain);

}  // namespace tqn
