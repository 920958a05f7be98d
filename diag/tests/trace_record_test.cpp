#include "diag/trace_record.h"

#include <gtest/gtest.h>

#include <string>

namespace tqn {
namespace {

const TraceTime kTime{2026, 3, 7, 9, 5, 4, 42};

// Each combination of tag, program name and message, as whole records.
TEST(TraceRecordTest, Segments) {
    struct Row {
        const wchar_t* tag;
        std::optional<std::wstring> program;
        const wchar_t* message;
        const wchar_t* record;
    };
    const Row rows[] = {
        {L"", std::nullopt, L"", L"[ 2026-03-07 09:05:04 042ms ]"},
        {L"", L"Launch.exe", L"", L"[ 2026-03-07 09:05:04 042ms ] [Launch.exe]"},
        {L"", L"Launch.exe", L"{GUID} 5",
         L"[ 2026-03-07 09:05:04 042ms ] [Launch.exe]        [{GUID} 5]\n"},
        {L"", std::nullopt, L"msg", L"[ 2026-03-07 09:05:04 042ms ]        [msg]\n"},
        {L"Tool::Run", L"Launch.exe", L"msg",
         L"[ 2026-03-07 09:05:04 042ms ], CLASS_FUNC[Tool::Run] (LINE: 0)\n [Launch.exe]        [msg]\n"},
        {L"Tool::Run", std::nullopt, L"",
         L"[ 2026-03-07 09:05:04 042ms ], CLASS_FUNC[Tool::Run] (LINE: 0)\n"},
        {L"", L"Launch.exe", L"line\n", L"[ 2026-03-07 09:05:04 042ms ] [Launch.exe]        [line\n]\n"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(BuildTraceRecord(kTime, row.tag, row.program, row.message), row.record)
            << testing::PrintToString(std::wstring(row.record));
    }
}

// Widths and zero padding of the time fields.
TEST(TraceRecordTest, TimeFields) {
    struct Row {
        TraceTime time;
        const wchar_t* record;
    };
    const Row rows[] = {
        {{2026, 12, 31, 23, 59, 59, 999}, L"[ 2026-12-31 23:59:59 999ms ]"},
        {{2001, 1, 1, 0, 0, 0, 0}, L"[ 2001-01-01 00:00:00 000ms ]"},
        {{987, 1, 2, 3, 4, 5, 6}, L"[ 0987-01-02 03:04:05 006ms ]"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(BuildTraceRecord(row.time, L"", std::nullopt, L""), row.record);
    }
}

// The program's name is the part after the last backslash.
TEST(TraceRecordTest, ProgramNameFromPath) {
    EXPECT_EQ(ProgramNameFromPath(L"C:\\Program Files\\Tarvolin\\Launch.exe"), L"Launch.exe");
    EXPECT_EQ(ProgramNameFromPath(L"Launch.exe"), L"Launch.exe");
    EXPECT_EQ(ProgramNameFromPath(L"C:\\dir\\"), L"");
    EXPECT_EQ(ProgramNameFromPath(L"a/b/c.exe"), L"a/b/c.exe");
    EXPECT_EQ(ProgramNameFromPath(L""), L"");
}

// A formatter's error or more than the limit drops the message; the limit itself is kept.
TEST(TraceRecordTest, KeptMessage) {
    const std::wstring text(12, L'x');
    EXPECT_EQ(KeptTraceMessage(10, text.c_str(), 10), std::wstring(10, L'x'));
    EXPECT_EQ(KeptTraceMessage(9, text.c_str(), 10), std::wstring(9, L'x'));
    EXPECT_EQ(KeptTraceMessage(0, text.c_str(), 10), L"");
    EXPECT_EQ(KeptTraceMessage(11, text.c_str(), 10), L"");
    EXPECT_EQ(KeptTraceMessage(-1, text.c_str(), 10), L"");
    EXPECT_EQ(KeptTraceMessage(3, nullptr, 10), L"");
}

}  // namespace
}  // namespace tqn
