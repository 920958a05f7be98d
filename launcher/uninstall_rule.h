#pragma once
// The uninstall guard's decisions: the mutex's object name, and what a probe
// of it means.
#include <cstdint>
#include <string>

namespace tqn {

// "Local\" + name on Windows 2000 and later, the bare name before.
std::wstring UninstallMutexObjectName(const std::wstring& mutexName, bool nt50OrLater);

// The uninstaller runs when its mutex opened, and also when the mutex exists
// but refuses us (ERROR_ACCESS_DENIED): only a missing mutex means no uninstall.
bool UninstallProbeMeansRunning(bool opened, uint32_t error);

}  // namespace tqn
