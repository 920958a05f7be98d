#pragma once
// Reading the trace file back, for a support case. Every product process
// writes that file, so any user can: the bytes are read as foreign data. A
// record starts only at a line that begins with a whole time stamp (the form
// BuildTraceRecordStamp writes); lines before the first stamp belong to no
// record, and lines after a record's message (its last bracket) are dropped.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include "diag/log_file_rule.h"
#endif

namespace tqn {

struct TraceFileRecord {
    std::wstring time;     // "2026-12-08 18:31:33.123"
    std::wstring program;  // the writing program's file name; empty when the record names none
    std::wstring tag;      // the braced tag that starts the message; empty when there is none
    std::wstring rest;     // the message after the tag ("deleted" on a restarted file's first line)
};

// The last `count` records of trace file bytes (UTF-8, lines ending in CR LF
// or LF). With cutAtFront the bytes are the tail of a longer file: its first,
// partial line is no record's start.
std::vector<TraceFileRecord> ReadTraceRecords(std::string_view bytes, size_t count, bool cutAtFront);

// The most of a trace file that is read, from its end: the writer starts the
// file again once it is longer than this.
inline constexpr size_t kTraceReadLimit = 4u << 20;

#ifdef _WIN32
// The last `count` records of the trace file, read through a handle checked
// as the writer's is: a file that is a link, or lies outside its folder, is
// not read (the verdict says why). Usable when the file was read.
LogFileVerdict ReadTraceFile(const std::wstring& path, size_t count, std::vector<TraceFileRecord>& records);
#endif

}  // namespace tqn
