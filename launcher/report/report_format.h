#pragma once
// The report's two outputs over the same facts and rules: text for a person
// reading a support case, JSON (one object, stable field names, documented
// in README.md) for tools. Both are wide text; the program writes UTF-8.
#include <string>

#include "launcher/report/report_facts.h"

namespace tqn::report {

std::wstring FormatText(const ReportFacts& facts);
std::wstring FormatJson(const ReportFacts& facts);

// A JSON string literal: quotes, backslashes and control characters escaped.
std::wstring JsonString(const std::wstring& text);

// The trace method's name: "none", "debugger output", "console", "trace file", "as configured" or "unknown".
const wchar_t* TraceMethodName(uint32_t method);

}  // namespace tqn::report
