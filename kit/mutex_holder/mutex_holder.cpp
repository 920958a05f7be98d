// Holds a named mutex until its standard input ends, as the product's
// uninstaller holds its own while it runs.
//
//   mutex_holder <object name> [--deny-all]
//
// Creates the mutex by exactly that name ("Local\x", "Global\x" or bare),
// initially owned; with --deny-all its descriptor D:P(D;;GA;;;WD) refuses
// every other open. Prints "ready" once it holds the mutex, then waits for end
// of file (or a failed read) on standard input, releases it and exits with 0.
// Prints "exists" and exits with 1 when the name is taken, "error <code>" and
// 1 on any other failure; exit code 2 on bad usage.
#include <windows.h>
#include <sddl.h>

#include <string>

#include "kit/testsupport/console_text.h"
#include "platform/scoped_resource.h"

namespace {

constexpr wchar_t kDenyEveryone[] = L"D:P(D;;GA;;;WD)";

// UTF-8 straight to the handle: no buffering to flush, no code-page loss.
int Failed(DWORD code) {
    tqn::test::PrintLine(L"error " + std::to_wstring(code));
    return 1;
}

// The holder's owner stops it by closing the pipe (or the holder's input ends).
void WaitForEndOfInput() {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    char buffer[256];
    DWORD read = 0;
    while (::ReadFile(input, buffer, sizeof(buffer), &read, nullptr) && read != 0) {
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool denyAll = argc == 3 && std::wstring(argv[2]) == L"--deny-all";
    if ((argc != 2 && !denyAll) || argv[1][0] == L'\0') {
        tqn::test::PrintLine(L"usage: mutex_holder <object name> [--deny-all]", STD_ERROR_HANDLE);
        return 2;
    }

    tqn::ScopedLocalMemory descriptor;
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), nullptr, FALSE};
    if (denyAll) {
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kDenyEveryone, SDDL_REVISION_1,
                                                                    descriptor.Receive(), nullptr)) {
            return Failed(::GetLastError());
        }
        attributes.lpSecurityDescriptor = descriptor.Get();
    }

    const tqn::ScopedHandle mutex(::CreateMutexW(denyAll ? &attributes : nullptr, TRUE, argv[1]));
    const DWORD created = ::GetLastError();
    if (!mutex) return Failed(created);
    if (created == ERROR_ALREADY_EXISTS) {
        tqn::test::PrintLine(L"exists");
        return 1;
    }

    tqn::test::PrintLine(L"ready");
    WaitForEndOfInput();
    ::ReleaseMutex(mutex.Get());
    return 0;
}
