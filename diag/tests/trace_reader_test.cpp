#include "diag/trace_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "crypt/utf8_codec.h"
#include "diag/trace_record.h"

namespace tqn {
namespace {

// A record as the file sink writes it: text mode (CR LF), then an end of line.
std::string Written(int millisecond, const std::wstring& message) {
    std::wstring text = BuildTraceRecord({2026, 12, 8, 18, 31, 33, millisecond}, L"", L"Launch.exe", message) + L"\n";
    std::wstring crlf;
    for (const wchar_t c : text) crlf += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    return EncodeUtf8(crlf.data(), crlf.size());
}

// "time|program|tag|rest" per record, one a line.
std::wstring Fields(const std::vector<TraceFileRecord>& records) {
    std::wstring text;
    for (const auto& r : records) text += r.time + L"|" + r.program + L"|" + r.tag + L"|" + r.rest + L"\n";
    return text;
}

const std::string kStart = Written(101, L"{35D4E22D-B8B6-450B-8013-896B07D3D16B}") +
                           Written(107, L"{427D3012-FC53-492F-95AE-60BC13C0091C} [tray \u00e9.exe]") +
                           Written(109, L"{21E0218A-2B22-45D8-83C2-E82A55BDC051} 80092004\n");

TEST(TraceReaderTest, RecordsGarbageAndCuts) {
    const std::wstring all =
        L"2026-12-08 18:31:33.101|Launch.exe|{35D4E22D-B8B6-450B-8013-896B07D3D16B}|\n"
        L"2026-12-08 18:31:33.107|Launch.exe|{427D3012-FC53-492F-95AE-60BC13C0091C}|[tray \u00e9.exe]\n"
        L"2026-12-08 18:31:33.109|Launch.exe|{21E0218A-2B22-45D8-83C2-E82A55BDC051}|80092004\n";
    const struct {
        const char* what;
        std::string bytes;
        size_t count;
        bool cutAtFront;
        std::wstring fields;
    } rows[] = {
        {"a start's records", kStart, 50, false, all},
        {"the last two", kStart, 2, false, all.substr(all.find(L'\n') + 1)},
        {"a restarted file", "[ 2026-12-08 18:31:33 100ms ] deleted\r\n" + kStart.substr(0, 90), 50, false,
         L"2026-12-08 18:31:33.100|||deleted\n" + all.substr(0, all.find(L'\n') + 1)},
        {"garbage only", "\xff\xfe garbage\r\n[ 2026-12-08 18:31:33 1x1ms ] [a]\r\n[ 2026-1", 50, false, L""},
        {"garbage before and after", "junk\n" + kStart.substr(0, 94) + "\x80junk\r\n", 50, false,
         L"2026-12-08 18:31:33.101|Launch.exe|{35D4E22D-B8B6-450B-8013-896B07D3D16B}|\n"},
        {"cut mid-record", kStart.substr(0, 187), 50, false,
         all.substr(0, all.find(L'\n') + 1) + L"2026-12-08 18:31:33.107|Launch.exe|{427D3012-FC53-492F-95AE-60BC13C0091C}|[tr\n"},
        // The tail's first line is the end of a longer one, whatever it looks like.
        {"a tail cut mid-line", "[ 2026-12-08 18:31:33 100ms ] x\r\n" + kStart.substr(94), 50, true,
         all.substr(all.find(L'\n') + 1)},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Fields(ReadTraceRecords(row.bytes, row.count, row.cutAtFront)), row.fields) << row.what;
    }
}

// A file at the writer's limit: the last records come back, and no more.
TEST(TraceReaderTest, FourMebibytes) {
    std::string file;
    while (file.size() < kTraceReadLimit) file += kStart;
    file.resize(kTraceReadLimit);
    const auto records = ReadTraceRecords(file, 50, true);
    ASSERT_EQ(records.size(), 50u);
    EXPECT_EQ(records.front().program, L"Launch.exe");
}

}  // namespace
}  // namespace tqn
