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

#include "crypt/text_conversion.h"
#include "platform/scoped_resource.h"

namespace {

constexpr wchar_t kDenyEveryone[] = L"D:P(D;;GA;;;WD)";

// UTF-8 straight to the handle: no buffering to flush, no code-page loss.
void Print(DWORD stream, const std::wstring& line) {
    ByteBuffer utf8;
    WideToUtf8(line + L"\n", utf8);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(stream), utf8.Data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

int Failed(DWORD code) {
    Print(STD_OUTPUT_HANDLE, L"error " + std::to_wstring(code));
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
        Print(STD_ERROR_HANDLE, L"usage: mutex_holder <object name> [--deny-all]");
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
        Print(STD_OUTPUT_HANDLE, L"exists");
        return 1;
    }

    Print(STD_OUTPUT_HANDLE, L"ready");
    WaitForEndOfInput();
    ::ReleaseMutex(mutex.Get());
    return 0;
}
