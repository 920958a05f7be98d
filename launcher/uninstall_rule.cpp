#include "launcher/uninstall_rule.h"

namespace tqn {

namespace {
constexpr uint32_t kAccessDenied = 5;
}  // namespace

std::wstring UninstallMutexObjectName(const std::wstring& mutexName, bool nt50OrLater) {
    return nt50OrLater ? L"Local\\" + mutexName : mutexName;
}

bool UninstallProbeMeansRunning(bool opened, uint32_t error) {
    return opened || error == kAccessDenied;
}

}  // namespace tqn
