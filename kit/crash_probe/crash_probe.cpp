// Installs the crash handler as start-up does (the path tool from the
// product folder: the global block's, else this program's) and faults.
//
//   crash_probe           prints "installed=<0|1>" and "dump=<dump path>",
//                         then writes through a null pointer
//   crash_probe capture   the same, but the dump file is not created: the
//                         security the filter hands over is printed as
//                         "security=<SDDL of owner and DACL>" (or
//                         "security=none") and nothing is written
// The handler ends the process with exit code 0.
#include <windows.h>
#include <sddl.h>

#include <string>

#include "diag/crash_handler.h"
#include "kit/testsupport/console_text.h"
#include "platform/scoped_resource.h"

namespace {

std::wstring SddlOf(const SECURITY_ATTRIBUTES* security) {
    if (security == nullptr || security->lpSecurityDescriptor == nullptr) return L"none";
    wchar_t* text = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(security->lpSecurityDescriptor, SDDL_REVISION_1,
                                                                OWNER_SECURITY_INFORMATION |
                                                                    DACL_SECURITY_INFORMATION,
                                                                &text, nullptr)) {
        return L"unreadable";
    }
    tqn::ScopedLocalMemory owner(text);
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool capture = argc > 1 && std::wstring(argv[1]) == L"capture";
    if (capture) {
        tqn::SetDumpFileCreatorForTesting([](const wchar_t*, const SECURITY_ATTRIBUTES* security) {
            tqn::test::PrintLine(L"security=" + SddlOf(security));
            return INVALID_HANDLE_VALUE;
        });
    }
    const bool installed = tqn::InstallCrashHandler();
    tqn::test::PrintLine(std::wstring(L"installed=") + (installed ? L"1" : L"0"));
    tqn::test::PrintLine(L"dump=" + tqn::CrashDumpPath());
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 3;
}
