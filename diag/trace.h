#pragma once
// The trace log's entry: one timestamped record per call, delivered by the
// trace method (for now the debugger output).
#include <cstdint>
#include <functional>
#include <string>

namespace tqn {

// Trace methods (the product-wide setting).
inline constexpr uint32_t kTraceMethodNone = 0;
inline constexpr uint32_t kTraceMethodNoneToo = 1;
inline constexpr uint32_t kTraceMethodDebugger = 2;
inline constexpr uint32_t kTraceMethodConsole = 3;
inline constexpr uint32_t kTraceMethodFile = 4;
inline constexpr uint32_t kTraceMethodConfigured = 5;

// Longest message kept; a longer one (or a format error) drops the message
// segment but the record is still written.
inline constexpr size_t kTraceMessageLimit = 510;

// Wide printf format with the Windows runtime's rules (%s is a wide string).
void TraceW(const wchar_t* format, ...);

// Builds one record and delivers it by method. True when delivered or when
// the method says to write nothing (0, 1); false for an unknown method or a
// clock that cannot be read.
bool WriteTraceRecord(const std::wstring& tag, const std::wstring& message, uint32_t method,
                      const std::wstring& path);

// Test seam: every record handed to a sink is also passed here (with the
// sink's text, before the separate line feed). An empty function removes it.
void SetTraceCaptureForTesting(std::function<void(const std::wstring&)> capture);

}  // namespace tqn
