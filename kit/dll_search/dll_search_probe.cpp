// Loads a product module the way the launcher does, after making the given
// folders its current folder and the head of PATH (what a caller controls):
//   dll_search_probe <module> <current folder> <PATH folder> [--unrestricted | --by-name]
// --unrestricted skips the search restriction and loads with a bare
// LoadLibraryW, to show that the planted copies would otherwise be found;
// --by-name restricts the search, then loads the helper by its bare name, as
// the launcher loads system DLLs. Prints "answer=<n>" (0 when nothing loaded
// or the export is missing).
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/dll_search.h"
#include "platform/scoped_resource.h"
#include "trust/trusted_loader.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    const std::wstring mode = argc > 4 ? argv[4] : L"";
    const bool unrestricted = mode == L"--unrestricted";
    ::SetCurrentDirectoryW(argv[2]);
    wchar_t path[8192] = {};
    ::GetEnvironmentVariableW(L"PATH", path, 8192);
    ::SetEnvironmentVariableW(L"PATH", (std::wstring(argv[3]) + L";" + path).c_str());

    if (!unrestricted) tqn::RestrictDllSearch();
    if (mode == L"--by-name") {
        tqn::ScopedLibrary helper(::LoadLibraryW(L"search_helper.dll"));
        std::printf("answer=%d\n", helper ? 42 : 0);
        return 0;
    }
    tqn::ScopedLibrary module(unrestricted ? ::LoadLibraryW(argv[1]) : tqn::LoadTrustedScriptModule(argv[1]));
    using Answer = int (*)();
    const FARPROC found = module ? ::GetProcAddress(module.Get(), "SearchUserAnswer") : nullptr;
    const int answer = found ? reinterpret_cast<Answer>(reinterpret_cast<void*>(found))() : 0;
    std::printf("answer=%d\n", answer);
    return 0;
}
