#pragma once
// Self-elevation: a second copy of the program through the shell's "runas"
// verb; when the user declines the prompt, the skin's message says why and
// offers one more try.
#ifdef _WIN32
#include <functional>
#include <string>

namespace tqn {

// False: the caller must stop at once (the elevated copy runs, or the shell is
// unavailable, or the user answered No). True: the caller ends normally.
bool RelaunchElevated(const std::wstring& parameters, bool askAgain);

// Test seam around the shell call (Wine starts the program at once and never
// declines): given the program and the parameters, the ShellExecuteW result.
using RunasCall = std::function<long long(const std::wstring& program, const std::wstring& parameters)>;
void SetRunasForTesting(RunasCall call);

}  // namespace tqn
#endif
