#pragma once
// The text of one trace record, built from plain data so the format can be
// tested on its own.
#include <optional>
#include <string>

namespace tqn {

struct TraceTime {
    int year = 0;
    int month = 0;  // 1 to 12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// "[ yyyy-mm-dd hh:mm:ss mmmms ]": a record's first part, and with " deleted"
// the first line of a trace file started again.
std::wstring BuildTraceRecordStamp(const TraceTime& time);

// The stamp, then ", CLASS_FUNC[tag] (LINE: 0)\n" for a
// non-empty tag, " [program]" when the program's name is known, and
// "        [message]\n" for a non-empty message.
std::wstring BuildTraceRecord(const TraceTime& time, const std::wstring& tag,
                              const std::optional<std::wstring>& programName,
                              const std::wstring& message);

// The part of a path after its last backslash (the whole path if it has none).
std::wstring ProgramNameFromPath(const std::wstring& path);

// The message kept from a formatter's result into a buffer of limit + 2
// characters: empty when the formatter failed or wrote more than limit
// characters; a message of exactly limit characters is kept.
std::wstring KeptTraceMessage(int formatterResult, const wchar_t* buffer, size_t limit);

}  // namespace tqn
