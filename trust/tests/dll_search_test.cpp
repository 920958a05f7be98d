// DLL planting under Wine: a product module's own dependency comes from the
// module's folder, never from the current folder or PATH that a caller of
// the launcher chooses.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "environment/tests/test_support.h"

namespace tqn {
namespace {

using testing::BinFolder;
using testing::ScratchFolder;

// The helpers append their paths in UTF-16.
std::wstring ReadRecord(const std::wstring& path) {
    std::string bytes;
    if (!testing::ReadFileBytes(path, bytes)) return L"";
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    return text;
}

TEST(DllSearch, APlantedHelperNeverLoads) {
    ScratchFolder product(L"tqn-dll-product"), program(L"tqn-dll-program"), current(L"tqn-dll-current"),
        onPath(L"tqn-dll-path"), records(L"tqn-dll-records");
    const auto copy = [](const std::wstring& from, const std::wstring& to) {
        EXPECT_TRUE(::CopyFileW(from.c_str(), to.c_str(), FALSE)) << testing::Utf8(from);
    };
    copy(BinFolder() + L"\\..\\signed\\dll_search\\search_user.tqm", product.Path() + L"\\search_user.tqm");
    copy(BinFolder() + L"\\search_helper.dll", product.Path() + L"\\search_helper.dll");
    copy(BinFolder() + L"\\planted\\search_helper.dll", current.Path() + L"\\search_helper.dll");
    copy(BinFolder() + L"\\planted\\search_helper.dll", onPath.Path() + L"\\search_helper.dll");
    // The probe in a folder of its own: nothing beside it to find.
    copy(BinFolder() + L"\\dll_search_probe.exe", program.Path() + L"\\dll_search_probe.exe");
    const std::wstring genuine = records.Path() + L"\\genuine.txt", planted = records.Path() + L"\\planted.txt";
    ::SetEnvironmentVariableW(L"TQN_HELPER_RECORD", genuine.c_str());
    ::SetEnvironmentVariableW(L"TQN_PLANTED_RECORD", planted.c_str());

    const struct {
        const wchar_t* mode;
        bool plantedLoads;
        const char* output;
    } rows[] = {
        {L"", false, "answer=42\r\n"},            // the product module loaded and works
        {L" --by-name", false, "answer=0\r\n"},   // a bare name finds nothing outside the system folder
        // The control: without the restriction the planted copy is what loads,
        // so the rows above would see it if the restriction failed.
        {L" --unrestricted", true, "answer=42\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Utf8(row.mode));
        ::DeleteFileW(genuine.c_str());
        ::DeleteFileW(planted.c_str());
        std::string output;
        DWORD exitCode = 99;
        ASSERT_TRUE(testing::RunProgram(L"\"" + program.Path() + L"\\dll_search_probe.exe\" \"" + product.Path() +
                                            L"\\search_user.tqm\" \"" + current.Path() + L"\" \"" +
                                            onPath.Path() + L"\"" + row.mode,
                                        output, exitCode));
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(output, row.output);
        EXPECT_EQ(ReadRecord(planted).empty(), !row.plantedLoads) << testing::Utf8(ReadRecord(planted));
        if (row.mode == std::wstring()) {
            EXPECT_EQ(_wcsicmp(ReadRecord(genuine).c_str(), (product.Path() + L"\\search_helper.dll\n").c_str()), 0)
                << testing::Utf8(ReadRecord(genuine));
        }
    }
    ::SetEnvironmentVariableW(L"TQN_HELPER_RECORD", nullptr);
    ::SetEnvironmentVariableW(L"TQN_PLANTED_RECORD", nullptr);
}

}  // namespace
}  // namespace tqn
