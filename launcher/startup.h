#pragma once
// The launcher's start-up as one routine, so that the program and its test
// harness run the same code: confirm the installation folder, install crash
// handling, read the settings, guard the executable registration (elevating
// when it must), and start the tray program or the uninstaller.
#ifdef _WIN32
#include <functional>
#include <string>

namespace tqn {

inline constexpr int kExitNormally = 0;
inline constexpr int kExitAtOnce = -1;

// The exit code for the command-line tail.
int RunLauncher(const std::wstring& commandLine);

// Test seam around the membership test of the rights check.
void SetIsAdministratorForTesting(std::function<bool()> isAdministrator);

}  // namespace tqn
#endif
