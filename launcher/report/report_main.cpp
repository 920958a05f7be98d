// LaunchReport.exe: installed beside Launch.exe, walks the same start-up road
// with the same code, changes nothing, and says what it found at each step.
//   LaunchReport            the report as text
//   LaunchReport --json     the report as one JSON object
//   LaunchReport --trace [N] [--json]   the trace file's last N records (50)
// Exit code 0 when the usual road (no arguments) would start the tray
// program, 1 when it would not, 2 for bad usage; with --trace, 0 when the
// trace file was read, else 1.
#include <windows.h>

#include <string>
#include <vector>

#include "crypt/utf8_codec.h"
#include "launcher/report/report_format.h"
#include "launcher/report/report_gather.h"
#include "launcher/report/report_rules.h"
#include "platform/dll_search.h"

namespace {

// UTF-8 straight to the handle: the console's own conversion would cut the
// text at the first character outside the ANSI code page.
void Write(DWORD stream, const std::string& bytes) {
    const HANDLE handle = ::GetStdHandle(stream);
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(bytes.size() - done < 65536 ? bytes.size() - done : 65536);
        if (!::WriteFile(handle, bytes.data() + done, chunk, &written, nullptr) || written == 0) return;
        done += written;
    }
}

void Write(DWORD stream, const std::wstring& text) { Write(stream, tqn::EncodeUtf8(text.data(), text.size())); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // As Launch.exe does before any module loads.
    tqn::RestrictDllSearch();
    const std::vector<std::wstring> arguments(argv + 1, argv + argc);
    const auto request = tqn::report::ParseArguments(arguments);
    if (!request) {
        Write(STD_ERROR_HANDLE, L"usage: LaunchReport [--trace [N]] [--json]\n");
        return tqn::report::kExitBadUsage;
    }
    const bool json = request->format == tqn::report::OutputFormat::Json;
    if (request->traceRecords) {
        const tqn::report::TraceRecordsFacts trace = tqn::report::GatherTraceRecords(*request->traceRecords);
        if (json) {
            Write(STD_OUTPUT_HANDLE, tqn::report::FormatTraceJson(trace));
        } else {
            Write(STD_OUTPUT_HANDLE, tqn::report::FormatTraceText(trace));
        }
        return tqn::report::TraceExitCode(trace);
    }
    const tqn::report::ReportFacts facts = tqn::report::GatherReportFacts();
    if (json) {
        Write(STD_OUTPUT_HANDLE, tqn::report::FormatJson(facts));
    } else {
        Write(STD_OUTPUT_HANDLE, tqn::report::FormatText(facts));
    }
    return tqn::report::ReportExitCode(facts);
}
