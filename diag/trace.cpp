#include "diag/trace.h"

#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <utility>

#include "crypt/text_conversion.h"
#include "diag/log_file.h"
#include "diag/trace_record.h"
#include "platform/module_path.h"
#include "platform/scoped_resource.h"
#include "platform/sync_object.h"

namespace tqn {

namespace {

// Serialises whole records (resolution and writing) within the process.
SyncObjectEx g_traceLock;

std::function<void(const std::wstring&)>& TraceCapture() {
    static std::function<void(const std::wstring&)> capture;
    return capture;
}

struct TraceState {
    TraceSources sources;
    uint32_t method = 0;
    std::wstring path;
    // Reading the settings loads product modules, whose loading traces: a
    // record made meanwhile would start the same reading again, without end.
    bool resolving = false;
};

TraceState& State() {
    static TraceState state;
    return state;
}

class ResolvingScope {
public:
    ResolvingScope() { State().resolving = true; }
    ~ResolvingScope() { State().resolving = false; }
    ResolvingScope(const ResolvingScope&) = delete;
    ResolvingScope& operator=(const ResolvingScope&) = delete;
};

std::string Utf8OfRecord(const std::wstring& text) {
    // Text mode: every line feed becomes a carriage return and a line feed.
    std::wstring crlf;
    for (const wchar_t c : text) {
        if (c == L'\n') crlf += L'\r';
        crlf += c;
    }
    ByteBuffer bytes;
    WideToUtf8(crlf, bytes);
    return std::string(bytes.begin(), bytes.end());
}

// The trace path is the log folder and the file name: the file must lie
// directly in that folder. Worked out once per path (it walks the folders).
std::wstring TraceFolderReference(const std::wstring& path) {
    static std::wstring cachedPath, cachedReference;
    SyncObjectEx::Guard guard(g_traceLock);
    if (path != cachedPath || cachedReference.empty()) {
        cachedReference = LogFolderReference(FolderOfPath(path));
        cachedPath = path;
    }
    return cachedReference;
}

bool Append(const ScopedFileHandle& file, const std::string& bytes) {
    DWORD written = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE;
}

// The file sink: a file above the limit is deleted and started again with a
// "deleted" line; the record follows with an end of line. A link at the file
// or a folder on the way that leads elsewhere is neither written nor deleted
// through: the record is dropped.
bool WriteToFile(const std::wstring& path, const TraceTime& time, const std::wstring& record) {
    if (path.empty()) return false;
    const std::wstring reference = TraceFolderReference(path);
    if (reference.empty()) return false;  // no folder there: nothing is made
    ScopedFileHandle file = OpenLogFileForAppending(path, reference);
    if (!file) return false;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.Get(), &size) && static_cast<uint64_t>(size.QuadPart) > kTraceFileLimit) {
        file.Reset();
        // Deleted through a handle checked anew; if that fails, the reopened
        // file is the old one and the record goes on to it.
        std::wstring scratch;
        DeleteLogFile(path, reference, scratch);
        file = OpenLogFileForAppending(path, reference);
        if (!file) return true;  // the record is lost, as the reopened file is
        Append(file, Utf8OfRecord(BuildTraceRecordStamp(time) + L" deleted\n"));
    }
    Append(file, Utf8OfRecord(record + L"\n"));
    return true;
}

// The console sink: the record and an end of line on standard output. A
// console takes the wide text as it is; a file or pipe gets it as a text-mode
// stream would (CR LF), in UTF-8. With no standard output the record is lost,
// as it is with a stream that has nowhere to go.
void WriteToStandardOutput(const std::wstring& record) {
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0, written = 0;
    if (::GetConsoleMode(output, &mode)) {
        const std::wstring line = record + L"\r\n";
        ::WriteConsoleW(output, line.c_str(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const std::string bytes = Utf8OfRecord(record + L"\n");
    ::WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::optional<std::wstring> RunningProgramName() {
    const std::wstring path = ModuleFileName(nullptr);
    if (path.empty()) return std::nullopt;
    return ProgramNameFromPath(path);
}

// Follows the Windows runtime's wide rules (%s is a wide string), which the
// standard vswprintf may not under mingw.
std::wstring FormatTraceMessage(const wchar_t* format, va_list args) {
    wchar_t buffer[kTraceMessageLimit + 2] = {};
    const int written = _vsnwprintf(buffer, kTraceMessageLimit, format, args);
    buffer[kTraceMessageLimit] = L'\0';
    return KeptTraceMessage(written, buffer, kTraceMessageLimit);
}

// Tracing must not disturb the caller's error state: the caller reads the
// last error before the message is formatted, and this puts it back.
void TraceMessage(const std::wstring& message, DWORD lastError) {
    {
        SyncObjectEx::Guard guard(g_traceLock);
        if (!State().resolving) {
            const std::wstring path = GetTraceFilePath();
            WriteTraceRecord(std::wstring(), message, GetTraceMethod(), path);
        }
    }
    ::SetLastError(lastError);
}

}  // namespace

void TraceW(const wchar_t* format, ...) {
    const DWORD lastError = ::GetLastError();
    std::wstring message;
    if (format != nullptr) {
        va_list args;
        va_start(args, format);
        message = FormatTraceMessage(format, args);
        va_end(args);
    }
    TraceMessage(message, lastError);
}

void TraceEvent(TraceTag tag, ...) {
    const DWORD lastError = ::GetLastError();
    va_list args;
    va_start(args, tag);
    const std::wstring message = FormatTraceMessage(TraceTagRowOf(tag).format, args);
    va_end(args);
    TraceMessage(message, lastError);
}

bool WriteTraceRecord(const std::wstring& tag, const std::wstring& message, uint32_t method,
                      const std::wstring& path) {
    if (method == kTraceMethodNone || method == kTraceMethodNoneToo) return true;
    if (method == kTraceMethodConfigured) {
        method = GetTraceMethod();
        if (method == kTraceMethodNone) return true;
    }
    if (method != kTraceMethodDebugger && method != kTraceMethodConsole && method != kTraceMethodFile) {
        return false;
    }

    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const TraceTime time{now.wYear,  now.wMonth,  now.wDay,         now.wHour,
                         now.wMinute, now.wSecond, now.wMilliseconds};
    const std::wstring record = BuildTraceRecord(time, tag, RunningProgramName(), message);

    if (TraceCapture()) TraceCapture()(record);
    if (method == kTraceMethodFile) return WriteToFile(path, time, record);
    if (method == kTraceMethodDebugger) {
        ::OutputDebugStringW(record.c_str());
        ::OutputDebugStringW(L"\n");
    } else {
        WriteToStandardOutput(record);
    }
    return true;
}

void SetTraceSources(TraceSources sources) {
    SyncObjectEx::Guard guard(g_traceLock);
    State().sources = std::move(sources);
}

uint32_t GetTraceMethod() {
    SyncObjectEx::Guard guard(g_traceLock);
    TraceState& state = State();
    if (state.method == 0 && state.sources.readMethod && !state.resolving) {
        ResolvingScope resolving;
        state.method = state.sources.readMethod();
    }
    return state.method;
}

std::wstring GetTraceFilePath() {
    SyncObjectEx::Guard guard(g_traceLock);
    TraceState& state = State();
    if (state.path.empty() && state.sources.resolvePath && !state.resolving) {
        ResolvingScope resolving;
        state.path = state.sources.resolvePath();
    }
    return state.path;
}

void ResetTraceCaches() {
    SyncObjectEx::Guard guard(g_traceLock);
    State().method = 0;
    State().path.clear();
}

void SetTraceCaptureForTesting(std::function<void(const std::wstring&)> capture) {
    TraceCapture() = std::move(capture);
}

}  // namespace tqn
