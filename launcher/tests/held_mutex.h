#pragma once
// kit/mutex_holder holding a named mutex (the uninstaller's stand-in) until
// this object goes: its input is closed and it is waited for.
#include <windows.h>

#include <string>

#include "platform/scoped_resource.h"

namespace tqn::testing {

class HeldMutex {
public:
    // objectName as created, e.g. "Local\x"; option "" or "--deny-all".
    explicit HeldMutex(const std::wstring& objectName, const wchar_t* option = L"");
    ~HeldMutex();
    HeldMutex(const HeldMutex&) = delete;
    HeldMutex& operator=(const HeldMutex&) = delete;

private:
    ScopedHandle input_;
    ScopedHandle process_;
};

}  // namespace tqn::testing
