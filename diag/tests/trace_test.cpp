// The trace entry under Wine: formatting by the Windows runtime's rules, the
// message limit, delivery by method (captured through the test seam).
#include "diag/trace.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace tqn {
namespace {

class TraceTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetTraceCaptureForTesting([this](const std::wstring& r) { records_.push_back(r); });
        SetTraceSources({[] { return kTraceMethodDebugger; }, [] { return std::wstring(); }});
        ResetTraceCaches();
    }
    void TearDown() override {
        SetTraceCaptureForTesting(nullptr);
        SetTraceSources({});
        ResetTraceCaches();
    }

    // The message segment of the only record, or "<none>" without one.
    std::wstring OnlyMessage() {
        EXPECT_EQ(records_.size(), 1u);
        if (records_.empty()) return L"<no record>";
        const std::wstring& r = records_.front();
        const size_t at = r.find(L"        [");
        if (at == std::wstring::npos) return L"<none>";
        EXPECT_EQ(r.substr(r.size() - 2), L"]\n");
        return r.substr(at + 9, r.size() - at - 11);
    }

    std::vector<std::wstring> records_;
};

// %s takes a wide string, as in the Windows runtime; the other conversions too.
TEST_F(TraceTest, WindowsWideFormatRules) {
    const wchar_t* path = L"C:\\dir\\ptl.tqm";
    TraceW(L"{28AC245E-7AFA-4DBB-A551-38E3F70CBA4A} [0x%x][%s]", 0x80070002u, path);
    EXPECT_EQ(OnlyMessage(), L"{28AC245E-7AFA-4DBB-A551-38E3F70CBA4A} [0x80070002][C:\\dir\\ptl.tqm]");
    records_.clear();
    TraceW(L"%ws|%d|%03u|%%", L"w", -7, 5u);
    EXPECT_EQ(OnlyMessage(), L"w|-7|005|%");
}

// The record is timestamped and names this program.
TEST_F(TraceTest, RecordShape) {
    TraceW(L"{9B8B8973-36CA-48BB-BBD7-E5B07220FDD0}");
    ASSERT_EQ(records_.size(), 1u);
    const std::wstring& r = records_.front();
    ASSERT_GE(r.size(), 29u);
    EXPECT_EQ(r[0], L'[');
    EXPECT_EQ(r.substr(6, 1), L"-");
    EXPECT_EQ(r.substr(25, 5), L"ms ] ");
    EXPECT_NE(r.find(L" [diag_tests.exe]        [{9B8B8973"), std::wstring::npos) << r;
    EXPECT_EQ(r.find(L"CLASS_FUNC"), std::wstring::npos);  // empty tag
}

// Up to 510 characters are kept; one more drops the message but not the record.
TEST_F(TraceTest, MessageLimit) {
    const std::wstring at(kTraceMessageLimit, L'a');
    TraceW(L"%s", at.c_str());
    EXPECT_EQ(OnlyMessage(), at);
    records_.clear();
    const std::wstring over(kTraceMessageLimit + 1, L'b');
    TraceW(L"%s", over.c_str());
    EXPECT_EQ(OnlyMessage(), L"<none>");
    records_.clear();
    TraceW(nullptr);
    EXPECT_EQ(OnlyMessage(), L"<none>");
}

// Tracing leaves the caller's last error as it was.
TEST_F(TraceTest, KeepsLastError) {
    ::SetLastError(0x1234);
    TraceW(L"%d", 1);
    EXPECT_EQ(::GetLastError(), 0x1234u);
}

// Methods 0 and 1 write nothing and succeed; unknown methods write nothing and fail.
TEST_F(TraceTest, WriterMethods) {
    struct Row {
        uint32_t method;
        bool result;
        size_t delivered;
    };
    const Row rows[] = {
        {kTraceMethodNone, true, 0},     {kTraceMethodNoneToo, true, 0},
        {kTraceMethodDebugger, true, 1}, {kTraceMethodConfigured, true, 1},
        {6, false, 0},                   {0xFFFFFFFF, false, 0},
    };
    for (const Row& row : rows) {
        records_.clear();
        EXPECT_EQ(WriteTraceRecord(L"", L"m", row.method, L""), row.result) << row.method;
        EXPECT_EQ(records_.size(), row.delivered) << row.method;
    }
}

// A tag adds the CLASS_FUNC segment and its own line feed.
TEST_F(TraceTest, TaggedRecord) {
    EXPECT_TRUE(WriteTraceRecord(L"Loader::Load", L"{X} 5", kTraceMethodDebugger, L""));
    ASSERT_EQ(records_.size(), 1u);
    EXPECT_NE(records_[0].find(L"ms ], CLASS_FUNC[Loader::Load] (LINE: 0)\n [diag_tests.exe]        [{X} 5]\n"),
              std::wstring::npos)
        << records_[0];
}

// Method 3 writes the record and an end of line to standard output; a file
// there gets text-mode line ends and UTF-8.
TEST_F(TraceTest, ConsoleSinkWritesToStandardOutput) {
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"tqn-trace-stdout-" + std::to_wstring(::GetCurrentProcessId());
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const HANDLE saved = ::GetStdHandle(STD_OUTPUT_HANDLE);
    ::SetStdHandle(STD_OUTPUT_HANDLE, file);
    const bool written = WriteTraceRecord(L"", L"{X} \u00e9", kTraceMethodConsole, L"");
    ::SetStdHandle(STD_OUTPUT_HANDLE, saved);
    EXPECT_TRUE(written);
    char bytes[512] = {};
    DWORD read = 0;
    ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    ::ReadFile(file, bytes, sizeof bytes - 1, &read, nullptr);
    ::CloseHandle(file);
    const std::string text(bytes, read);
    EXPECT_EQ(text.rfind("[ ", 0), 0u) << text;
    const std::string end = " [diag_tests.exe]        [{X} \xC3\xA9]\r\n\r\n";
    ASSERT_GT(text.size(), end.size());
    EXPECT_EQ(text.substr(text.size() - end.size()), end) << text;
}

}  // namespace
}  // namespace tqn
