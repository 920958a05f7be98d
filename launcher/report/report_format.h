#pragma once
// The report's two outputs over the same facts and rules: text for a person
// reading a support case, JSON (one object, stable field names, documented
// in docs/support.md) for tools. The text is wide (the program writes it as UTF-8);
// the JSON is UTF-8 already.
#include <string>

#include "launcher/report/report_facts.h"

namespace tqn::report {

std::wstring FormatText(const ReportFacts& facts);
std::string FormatJson(const ReportFacts& facts);

// The trace file's last records (LaunchReport --trace), each with what its
// tag means.
std::wstring FormatTraceText(const TraceRecordsFacts& trace);
std::string FormatTraceJson(const TraceRecordsFacts& trace);

// The trace method's name: "none", "debugger output", "console", "trace file", "as configured" or "unknown".
const wchar_t* TraceMethodName(uint32_t method);

}  // namespace tqn::report
