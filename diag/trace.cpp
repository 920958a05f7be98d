#include "diag/trace.h"

#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <iostream>
#include <utility>

#include "diag/trace_record.h"
#include "platform/sync_object.h"

namespace tqn {

namespace {

// Serialises whole records (resolution and writing) within the process.
SyncObjectEx g_traceLock;

std::function<void(const std::wstring&)>& TraceCapture() {
    static std::function<void(const std::wstring&)> capture;
    return capture;
}

// The method a record goes by when the caller leaves the choice to the
// configuration. The configured setting is read by a later addition; until
// then records go to the debugger output.
uint32_t ConfiguredTraceMethod() { return kTraceMethodDebugger; }

std::optional<std::wstring> RunningProgramName() {
    wchar_t path[512] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, 512);
    if (length == 0 || length >= 512) return std::nullopt;
    return ProgramNameFromPath(std::wstring(path, length));
}

// Follows the Windows runtime's wide rules (%s is a wide string), which the
// standard vswprintf may not under mingw.
std::wstring FormatTraceMessage(const wchar_t* format, va_list args) {
    wchar_t buffer[kTraceMessageLimit + 2] = {};
    const int written = _vsnwprintf(buffer, kTraceMessageLimit, format, args);
    buffer[kTraceMessageLimit] = L'\0';
    return KeptTraceMessage(written, buffer, kTraceMessageLimit);
}

}  // namespace

void TraceW(const wchar_t* format, ...) {
    // Tracing must not disturb the caller's error state.
    const DWORD lastError = ::GetLastError();
    std::wstring message;
    if (format != nullptr) {
        va_list args;
        va_start(args, format);
        message = FormatTraceMessage(format, args);
        va_end(args);
    }
    {
        SyncObjectEx::Guard guard(g_traceLock);
        WriteTraceRecord(std::wstring(), message, ConfiguredTraceMethod(), std::wstring());
    }
    ::SetLastError(lastError);
}

bool WriteTraceRecord(const std::wstring& tag, const std::wstring& message, uint32_t method,
                      const std::wstring& path) {
    (void)path;  // the trace file's path, for the file sink
    std::wcout.clear();
    if (method == kTraceMethodNone || method == kTraceMethodNoneToo) return true;
    if (method == kTraceMethodConfigured) {
        method = ConfiguredTraceMethod();
        if (method == kTraceMethodNone) return true;
    }
    if (method != kTraceMethodDebugger && method != kTraceMethodConsole) return false;

    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const TraceTime time{now.wYear,  now.wMonth,  now.wDay,         now.wHour,
                         now.wMinute, now.wSecond, now.wMilliseconds};
    const std::wstring record = BuildTraceRecord(time, tag, RunningProgramName(), message);

    if (TraceCapture()) TraceCapture()(record);
    if (method == kTraceMethodDebugger) {
        ::OutputDebugStringW(record.c_str());
        ::OutputDebugStringW(L"\n");
    } else {
        std::wcout << record << std::endl;
    }
    return true;
}

void SetTraceCaptureForTesting(std::function<void(const std::wstring&)> capture) {
    TraceCapture() = std::move(capture);
}

}  // namespace tqn
