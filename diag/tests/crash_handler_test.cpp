// Crash handling under Wine: crash_probe installs the handler in a product
// folder of its own and faults.
#include <windows.h>

#include <gtest/gtest.h>

#include "diag/dump_rules.h"
#include "environment/global_data.h"
#include "environment/tests/test_support.h"
#include "platform/scoped_resource.h"
#include "platform/token_query.h"

using namespace tqn::testing;

namespace {

// crash_probe.exe with a signed path tool whose log folder is <folder>\logs.
class CrashProduct {
public:
    CrashProduct() : folder_(L"tqn-crash") {
        const std::wstring& root = folder_.Path();
        EXPECT_TRUE(::CopyFileW((BinFolder() + L"\\crash_probe.exe").c_str(), (root + L"\\crash_probe.exe").c_str(),
                                FALSE));
        EXPECT_TRUE(::CopyFileW((BinFolder() + L"\\..\\signed\\env\\brennick\\ptl.tqm").c_str(),
                                (root + L"\\ptl.tqm").c_str(), FALSE));
        EXPECT_TRUE(WriteFileBytes(root + L"\\ptl.dat", "COMMON_APPDATA = %PRODUCT_FOLDER%\nLOG_FOLDER = logs\n"));
    }
    std::wstring DumpPath() const { return folder_.Path() + L"\\logs\\crash_probe.exe.dmp"; }

    std::string Run(const wchar_t* argument, DWORD& exitCode) const {
        std::string output;
        exitCode = 99;
        EXPECT_TRUE(RunProgram(L"\"" + folder_.Path() + L"\\crash_probe.exe\" " + argument, output, exitCode));
        return output;
    }

private:
    ScratchFolder folder_;
};

std::string Head(const std::wstring& path, size_t count) {
    tqn::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes(count, '\0');
    DWORD read = 0;
    if (!file || !::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(count), &read, nullptr)) return "";
    bytes.resize(read);
    return bytes;
}

uint64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

class CrashHandler : public ::testing::Test {
protected:
    void SetUp() override {
        // The probe takes its product folder from the global block when one is stored there.
        ASSERT_TRUE(tqn::GlobalData().ReadProductFolder().empty());
    }
};

TEST_F(CrashHandler, TheDumpIsCreatedForTheOwnerSystemAndAdministratorsOnly) {
    CrashProduct product;
    DWORD exitCode = 0;
    const std::string output = product.Run(L"capture", exitCode);
    EXPECT_EQ(exitCode, 0u) << output;
    const std::wstring sid = tqn::ProcessUserSidText();
    ASSERT_FALSE(sid.empty());
    EXPECT_EQ(output, "installed=1\ndump=" + Utf8(product.DumpPath()) + "\nsecurity=" +
                          Utf8(tqn::DumpFileSddl(sid)) + "\n");
    EXPECT_EQ(::GetFileAttributesW(product.DumpPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CrashHandler, ACrashLeavesAFullDumpInPlaceOfAStaleOne) {
    CrashProduct product;
    ::CreateDirectoryW((product.DumpPath().substr(0, product.DumpPath().rfind(L'\\'))).c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(product.DumpPath(), std::string(4096, 'S')));
    DWORD exitCode = 99;
    product.Run(L"", exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(Head(product.DumpPath(), 4), "MDMP");           // replaced, not appended to
    EXPECT_GT(FileSize(product.DumpPath()), 16u << 20);        // the whole memory, not a small dump
    ::DeleteFileW(product.DumpPath().c_str());                 // about 100 MiB
}
