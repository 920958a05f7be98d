// Runs Launch.exe's start-up on its own command-line tail, with test seams
// set from environment variables that it reads once and removes (so that an
// elevated copy it starts runs without them):
//   TQN_HARNESS_ADMIN=0    the membership test says "not an administrator"
//   TQN_HARNESS_RUNAS=<n>  the shell's "runas" call returns n instead of
//                          starting anything; each call prints
//                          "runas <program file name> [<parameters>]"
//   TQN_HARNESS_VERIFIED=1 each signature verification of a product module
//                          prints "verified <module file name>"
// The exit code is start-up's: 0, or -1 (255 under Wine) when it ended at once.
#include <windows.h>

#include <string>

#include "kit/testsupport/console_text.h"
#include "launcher/relaunch.h"
#include "launcher/startup.h"
#include "platform/dll_search.h"
#include "trust/trusted_loader.h"

namespace {

std::wstring TakeVariable(const wchar_t* name) {
    wchar_t value[64] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, 64);
    ::SetEnvironmentVariableW(name, nullptr);
    return length > 0 && length < 64 ? std::wstring(value, length) : std::wstring();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    tqn::RestrictDllSearch();  // as Launch.exe does first
    if (TakeVariable(L"TQN_HARNESS_ADMIN") == L"0") {
        tqn::SetIsAdministratorForTesting([] { return false; });
    }
    const std::wstring runas = TakeVariable(L"TQN_HARNESS_RUNAS");
    if (!runas.empty()) {
        const long long result = _wtoi64(runas.c_str());
        tqn::SetRunasForTesting([result](const std::wstring& program, const std::wstring& parameters) {
            tqn::test::PrintLine(L"runas " + program.substr(program.rfind(L'\\') + 1) + L" [" + parameters + L"]");
            return result;
        });
    }
    if (TakeVariable(L"TQN_HARNESS_VERIFIED") == L"1") {
        tqn::SetVerificationHookForTesting([](const std::wstring& path) {
            tqn::test::PrintLine(L"verified " + path.substr(path.rfind(L'\\') + 1));
        });
    }
    return tqn::RunLauncher(commandLine != nullptr ? commandLine : L"");
}
