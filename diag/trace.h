#pragma once
// The trace log's entry: one timestamped record per call, delivered by the
// trace method (the product-wide setting) to the debugger, the console or the
// product's trace file.
#include <cstdint>
#include <functional>
#include <string>

#include "diag/trace_tags.h"

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

// The program's own records: the tag's row gives the format (the tag and its
// values), so that no tag is written without its meaning.
void TraceEvent(TraceTag tag, ...);

// Builds one record and delivers it by method. True when delivered or when
// the method says to write nothing (0, 1); false for an unknown method, a
// clock that cannot be read or a trace file that cannot be opened.
bool WriteTraceRecord(const std::wstring& tag, const std::wstring& message, uint32_t method,
                      const std::wstring& path);

// The trace file beyond which a record starts a new file.
inline constexpr uint64_t kTraceFileLimit = 4u << 20;

// Where the trace log's settings come from. The product layer connects them
// (ConnectTraceToProduct); without them the method is 0 and nothing is written.
struct TraceSources {
    std::function<uint32_t()> readMethod;      // the configured method, 0 when unknown
    std::function<std::wstring()> resolvePath;  // the trace file, empty when unknown
};
void SetTraceSources(TraceSources sources);

// The cached method, read while the cache holds 0.
uint32_t GetTraceMethod();
// The cached trace file path, resolved while the cache is empty.
std::wstring GetTraceFilePath();
// Empties both caches (tests and a re-connection).
void ResetTraceCaches();

// Test seam: every record handed to a sink is also passed here (with the
// sink's text, before the separate line feed). An empty function removes it.
void SetTraceCaptureForTesting(std::function<void(const std::wstring&)> capture);

}  // namespace tqn
