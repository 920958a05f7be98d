#pragma once
// While the product's uninstaller runs it holds a named mutex, whose name the
// data configuration keeps under "uninstallMutexName"; the launcher then
// starts nothing but the installer's "/install".
#ifdef _WIN32
namespace tqn {

inline constexpr wchar_t kUninstallMutexNameKey[] = L"uninstallMutexName";

// Reads the name afresh and probes the mutex (never waits on, creates or
// releases it). False when the name is empty or the mutex does not exist.
bool IsUninstallRunning();

}  // namespace tqn
#endif
