// Crash handling under Wine: crash_probe installs the handler in a product
// folder of its own and faults.
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include "diag/dump_rules.h"
#include "environment/global_data.h"
#include "environment/tests/test_support.h"
#include "platform/scoped_resource.h"
#include "platform/token_query.h"

using namespace tqn::testing;

namespace {

// Starts a program whose path may be longer than MAX_PATH (CreateProcessW
// under Wine refuses those), collects its standard output and waits for it.
bool RunAtAnyLength(const std::wstring& program, const std::wstring& arguments, std::string& output,
                    DWORD& exitCode) {
    using ParametersFn = NTSTATUS(NTAPI*)(PRTL_USER_PROCESS_PARAMETERS*, PUNICODE_STRING, PUNICODE_STRING,
                                          PUNICODE_STRING, PUNICODE_STRING, PVOID, PUNICODE_STRING, PUNICODE_STRING,
                                          PUNICODE_STRING, PUNICODE_STRING);
    using DestroyFn = NTSTATUS(NTAPI*)(PRTL_USER_PROCESS_PARAMETERS);
    struct ProcessInformation {
        ULONG length;
        HANDLE process;
        HANDLE thread;
        CLIENT_ID client;
        BYTE image[128];
    };
    using CreateFn = NTSTATUS(NTAPI*)(PUNICODE_STRING, ULONG, PRTL_USER_PROCESS_PARAMETERS, PSECURITY_DESCRIPTOR,
                                      PSECURITY_DESCRIPTOR, HANDLE, BOOLEAN, HANDLE, HANDLE, ProcessInformation*);
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto makeParameters = reinterpret_cast<ParametersFn>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlCreateProcessParameters")));
    const auto destroyParameters = reinterpret_cast<DestroyFn>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlDestroyProcessParameters")));
    const auto create =
        reinterpret_cast<CreateFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlCreateUserProcess")));
    if (!makeParameters || !destroyParameters || !create) return false;

    std::wstring image = program, ntImage = L"\\??\\" + program, line = L"\"" + program + L"\" " + arguments;
    const auto text = [](std::wstring& s) {
        const auto bytes = static_cast<USHORT>(s.size() * sizeof(wchar_t));
        return UNICODE_STRING{bytes, bytes, s.data()};
    };
    UNICODE_STRING imageText = text(image), ntImageText = text(ntImage), lineText = text(line);
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE r = nullptr, w = nullptr;
    if (!::CreatePipe(&r, &w, &inheritable, 0)) return false;
    tqn::ScopedHandle readEnd(r), writeEnd(w);
    ::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
    PRTL_USER_PROCESS_PARAMETERS parameters = nullptr;
    if (makeParameters(&parameters, &imageText, nullptr, nullptr, &lineText, nullptr, nullptr, nullptr, nullptr,
                       nullptr) != 0) {
        return false;
    }
    // After the console handle and flags: standard input, output, error.
    PVOID* standard = parameters->Reserved2;
    standard[3] = writeEnd.Get();
    standard[4] = writeEnd.Get();
    ProcessInformation information{sizeof(ProcessInformation), nullptr, nullptr, {}, {}};
    const NTSTATUS status = create(&ntImageText, OBJ_CASE_INSENSITIVE, parameters, nullptr, nullptr, nullptr, TRUE,
                                   nullptr, nullptr, &information);
    destroyParameters(parameters);
    if (status != 0) return false;
    tqn::ScopedHandle process(information.process), thread(information.thread);
    writeEnd.Reset();
    ::ResumeThread(thread.Get());
    // The pipe closes when the program has ended (it starts nothing).
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(readEnd.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) output.append(buffer, read);
    return ::WaitForSingleObject(process.Get(), 30000) == WAIT_OBJECT_0 &&
           ::GetExitCodeProcess(process.Get(), &exitCode) != FALSE;
}

// crash_probe.exe with a signed path tool whose log folder is <folder>\logs;
// <folder> is made deeper with long names while shorter than a depth given.
class CrashProduct {
public:
    explicit CrashProduct(size_t depth = 0) : folder_(L"tqn-crash"), root_(folder_.Path()) {
        while (root_.size() < depth) {
            root_ += L"\\" + std::wstring(60, L'd');
            EXPECT_TRUE(::CreateDirectoryW((L"\\\\?\\" + root_).c_str(), nullptr));
        }
        const std::wstring target = L"\\\\?\\" + root_;
        EXPECT_TRUE(::CopyFileW((BinFolder() + L"\\crash_probe.exe").c_str(), (target + L"\\crash_probe.exe").c_str(),
                                FALSE));
        EXPECT_TRUE(::CopyFileW((BinFolder() + L"\\..\\signed\\env\\brennick\\ptl.tqm").c_str(),
                                (target + L"\\ptl.tqm").c_str(), FALSE));
        EXPECT_TRUE(WriteFileBytes(target + L"\\ptl.dat", "COMMON_APPDATA = %PRODUCT_FOLDER%\nLOG_FOLDER = logs\n"));
    }
    const std::wstring& Folder() const { return root_; }
    std::wstring DumpPath() const { return root_ + L"\\logs\\crash_probe.exe.dmp"; }
    void MakeLogFolder() const { ::CreateDirectoryW((root_ + L"\\logs").c_str(), nullptr); }

    std::string Run(const wchar_t* argument, DWORD& exitCode) const {
        std::string output;
        exitCode = 99;
        EXPECT_TRUE(RunAtAnyLength(root_ + L"\\crash_probe.exe", argument, output, exitCode));
        return output;
    }

private:
    ScratchFolder folder_;
    std::wstring root_;
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
    // A stale dump is deleted before the new file is made (here by the probe,
    // which makes none).
    product.MakeLogFolder();
    ASSERT_TRUE(WriteFileBytes(product.DumpPath(), std::string(4096, 'S')));
    DWORD exitCode = 0;
    const std::string output = product.Run(L"capture", exitCode);
    EXPECT_EQ(exitCode, 0u) << output;
    const std::wstring sid = tqn::ProcessUserSidText();
    ASSERT_FALSE(sid.empty());
    EXPECT_EQ(output, "installed=1\ndump=" + Utf8(product.DumpPath()) + "\nsecurity=" +
                          Utf8(tqn::DumpFileSddl(sid, false)) + "\nlabel=high\n");  // Wine: every run elevated
    EXPECT_EQ(::GetFileAttributesW(product.DumpPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CrashHandler, ACrashLeavesAFullDumpInPlaceOfAStaleOne) {
    CrashProduct product;
    product.MakeLogFolder();
    ASSERT_TRUE(WriteFileBytes(product.DumpPath(), std::string(4096, 'S')));
    DWORD exitCode = 99;
    product.Run(L"", exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(Head(product.DumpPath(), 4), "MDMP");           // replaced, not appended to
    EXPECT_GT(FileSize(product.DumpPath()), 16u << 20);        // the whole memory, not a small dump
    ::DeleteFileW(product.DumpPath().c_str());                 // about 100 MiB
}

TEST_F(CrashHandler, AProgramPathBeyondMaxPathStillGetsTheHandler) {
    CrashProduct product(MAX_PATH + 20);
    ASSERT_GT(product.Folder().size() + sizeof("\\crash_probe.exe"), static_cast<size_t>(MAX_PATH + 20));
    DWORD exitCode = 0;
    const std::string output = product.Run(L"capture", exitCode);
    EXPECT_EQ(exitCode, 0u) << output;  // ended by the filter, not by the fault
    EXPECT_EQ(output, "installed=1\ndump=" + Utf8(product.DumpPath()) + "\nsecurity=" +
                          Utf8(tqn::DumpFileSddl(tqn::ProcessUserSidText(), false)) + "\nlabel=high\n");
}

// A stale dump that is a hard link to another file loses that name and a
// fresh dump is made; one that someone keeps open without sharing deletion
// gets no dump. Nothing is written through the other name, nothing into a
// file someone else made (and whose descriptor it would keep).
TEST_F(CrashHandler, AStaleDumpThatIsALinkIsReplacedAndOneHeldOpenGetsNoDump) {
    const struct {
        const char* what;
        bool hardLink;
        bool held;
    } rows[] = {{"hard link", true, false}, {"hard link, held open", true, true}, {"held open", false, true}};
    for (const auto& row : rows) {
        CrashProduct product;
        product.MakeLogFolder();
        const std::string content(4096, 'V');
        const std::wstring other = product.Folder() + L"\\other.dat";
        if (row.hardLink) {
            ASSERT_TRUE(WriteFileBytes(other, content));
            ASSERT_TRUE(::CreateHardLinkW(product.DumpPath().c_str(), other.c_str(), nullptr));
        } else {
            ASSERT_TRUE(WriteFileBytes(product.DumpPath(), content));
        }
        DWORD exitCode = 99;
        {
            tqn::ScopedFileHandle held;
            if (row.held) {
                held.Reset(::CreateFileW(product.DumpPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
                ASSERT_TRUE(held) << row.what;
            }
            product.Run(L"", exitCode);
        }
        EXPECT_EQ(exitCode, 0u) << row.what;
        EXPECT_EQ(Head(product.DumpPath(), 4), row.held ? content.substr(0, 4) : "MDMP") << row.what;
        if (row.hardLink) {
            EXPECT_EQ(Head(other, 8192), content) << row.what;
        }
    }
}
