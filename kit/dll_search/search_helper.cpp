// A helper DLL that a product module imports. On load it appends its own
// path to the file named by an environment variable (one variable for the
// genuine copy, another for the planted one), so a test sees which copy the
// loader picked, if any.
#include <windows.h>

namespace {

void RecordLoad(HMODULE self) {
    wchar_t record[1024] = {};
    const DWORD length = ::GetEnvironmentVariableW(SEARCH_HELPER_RECORD, record, 1024);
    if (length == 0 || length >= 1024) return;
    wchar_t path[1024] = {};
    const DWORD pathLength = ::GetModuleFileNameW(self, path, 1023);
    path[pathLength] = L'\n';
    const HANDLE file = ::CreateFileW(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, path, (pathLength + 1) * sizeof(wchar_t), &written, nullptr);
    ::CloseHandle(file);
}

}  // namespace

extern "C" __declspec(dllexport) int SearchHelperAnswer() { return 42; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) RecordLoad(instance);
    return TRUE;
}
