#pragma once
// The prefix's own "RootDir" (HKLM\SOFTWARE\Brennick\Tarvolin) set for one
// test (an empty folder removes it); whatever the key held comes back
// afterwards, the key too.
#ifdef _WIN32
#include <optional>
#include <string>

namespace tqn::test {

class ScopedMachineRootDir {
public:
    explicit ScopedMachineRootDir(const std::wstring& folder);
    ~ScopedMachineRootDir();
    ScopedMachineRootDir(const ScopedMachineRootDir&) = delete;
    ScopedMachineRootDir& operator=(const ScopedMachineRootDir&) = delete;

private:
    bool keyCreated_ = false;
    std::optional<std::wstring> former_;
};

}  // namespace tqn::test
#endif
