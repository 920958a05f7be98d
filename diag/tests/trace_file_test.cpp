// The trace file under Wine: the 4 MiB rule, the method's sources, and the
// trace file shared through the global block's slot, which is trusted only
// when it names the path tool's own file.
#include <windows.h>

#include <gtest/gtest.h>

#include "crypt/string_crypt_tool.h"
#include "diag/trace.h"
#include "diag/trace_settings.h"
#include "environment/global_data.h"
#include "environment/path_tool.h"
#include "environment/tests/test_support.h"
#include "kit/testsupport/machine_root_dir.h"
#include "platform/scoped_resource.h"

using namespace tqn;
using namespace tqn::testing;

namespace {

std::string ReadAll(const std::wstring& path) {
    ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return "<missing>";
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

// Sources set for one test, both caches emptied before and after.
class TraceSourcesScope {
public:
    explicit TraceSourcesScope(TraceSources sources) {
        SetTraceSources(std::move(sources));
        ResetTraceCaches();
    }
    ~TraceSourcesScope() {
        SetTraceSources({});
        ResetTraceCaches();
    }
};

bool StartsWithStamp(const std::string& text) {
    return text.size() > 29 && text.compare(0, 2, "[ ") == 0 && text.compare(25, 4, "ms ]") == 0;
}

}  // namespace

TEST(TraceFile, FourMebibyteRule) {
    // A "launch.log" that is a hard link to another file is neither appended
    // to nor cut through the link: that name goes, and the record starts a
    // new file.
    const struct {
        uint64_t size;
        bool hardLink;
        bool startedAgain;
    } rows[] = {{kTraceFileLimit, false, false},
                {kTraceFileLimit + 1, false, true},
                {16, true, false},
                {kTraceFileLimit + 1, true, false}};
    for (const auto& row : rows) {
        ScratchFolder folder(L"tqn-trace");
        const std::wstring path = folder.Path() + L"\\launch.log";
        const std::string content(static_cast<size_t>(row.size), 'x');
        if (row.hardLink) {
            const std::wstring other = folder.Path() + L"\\other.dat";
            ASSERT_TRUE(WriteFileBytes(other, content));
            ASSERT_TRUE(::CreateHardLinkW(path.c_str(), other.c_str(), nullptr));
            EXPECT_TRUE(WriteTraceRecord(L"", L"{0B2A} 5", kTraceMethodFile, path));
            EXPECT_TRUE(ReadAll(other) == content) << "size " << row.size;
            const std::string text = ReadAll(path);
            EXPECT_TRUE(StartsWithStamp(text) && text.size() < 200) << text.substr(0, 40);
            continue;
        }
        ASSERT_TRUE(WriteFileBytes(path, content));
        EXPECT_TRUE(WriteTraceRecord(L"", L"{0B2A} 5", kTraceMethodFile, path));
        const std::string text = ReadAll(path);
        if (row.startedAgain) {
            ASSERT_TRUE(StartsWithStamp(text)) << text.substr(0, 40);
            const size_t deleted = text.find(" deleted\r\n");
            EXPECT_EQ(deleted, 29u);
            EXPECT_TRUE(StartsWithStamp(text.substr(deleted + 10)));
        } else {
            EXPECT_EQ(text.substr(0, static_cast<size_t>(row.size)), content);
            EXPECT_TRUE(StartsWithStamp(text.substr(static_cast<size_t>(row.size))));
        }
        // The record and its end of line: the message's line feed and one more.
        EXPECT_EQ(text.substr(text.size() - 14), "[{0B2A} 5]\r\n\r\n");
    }
}

TEST(TraceFile, AnUnopenablePathDropsTheRecord) {
    ScratchFolder folder(L"tqn-trace");
    // A missing log folder is not made here.
    const std::wstring missing = folder.Path() + L"\\missing";
    EXPECT_FALSE(WriteTraceRecord(L"", L"m", kTraceMethodFile, missing + L"\\launch.log"));
    EXPECT_FALSE(FolderExists(missing));
    EXPECT_FALSE(WriteTraceRecord(L"", L"m", kTraceMethodFile, L""));

    // A file over the limit that another process holds without sharing
    // writing (it allows deletion): neither written nor deleted.
    const std::wstring path = folder.Path() + L"\\launch.log";
    const std::string content(static_cast<size_t>(kTraceFileLimit + 1), 'h');
    ASSERT_TRUE(WriteFileBytes(path, content));
    {
        ScopedFileHandle held(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(WriteTraceRecord(L"", L"m", kTraceMethodFile, path));
    }
    EXPECT_TRUE(ReadAll(path) == content);
}

TEST(TraceFile, MethodAndPathComeFromTheSources) {
    ScratchFolder folder(L"tqn-trace");
    const std::wstring path = folder.Path() + L"\\launch.log";
    int methodReads = 0, pathReads = 0;
    uint32_t configured = 0;
    TraceSourcesScope sources({[&] {
                                   ++methodReads;
                                   TraceW(L"{made while reading the method}");  // must not recurse
                                   return configured;
                               },
                               [&] {
                                   ++pathReads;
                                   TraceW(L"{made while resolving the path}");
                                   return path;
                               }});
    TraceW(L"{1}");
    TraceW(L"{2}");
    // A method of 0 is not kept: it is read again for each record.
    EXPECT_EQ(methodReads, 2);
    EXPECT_EQ(pathReads, 1);
    EXPECT_EQ(ReadAll(path), "<missing>");

    configured = kTraceMethodConfigured;  // a configured 5 writes nothing
    TraceW(L"{3}");
    EXPECT_EQ(ReadAll(path), "<missing>");
    ResetTraceCaches();

    configured = kTraceMethodFile;
    TraceW(L"{4}");
    TraceW(L"{5}");
    EXPECT_EQ(methodReads, 4);  // kept once it is not 0
    const std::string text = ReadAll(path);
    EXPECT_NE(text.find("[{4}]"), std::string::npos);
    EXPECT_NE(text.find("[{5}]"), std::string::npos);
    EXPECT_EQ(text.find("made while"), std::string::npos);
}

// The path tool from a product folder stored in the global block; the block's
// fields are emptied again afterwards.
class SharedTracePath : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring& root = product_.Path();
        ASSERT_TRUE(::CopyFileW((BinFolder() + L"\\..\\signed\\env\\brennick\\ptl.tqm").c_str(),
                                (root + L"\\ptl.tqm").c_str(), FALSE));
        ASSERT_TRUE(WriteFileBytes(root + L"\\ptl.dat",
                                   "COMMON_APPDATA = %PRODUCT_FOLDER%\nLOG_FOLDER = Logs\nTRACE_FILE_NAME = launch.log\n"));
        std::wstring hex;
        ASSERT_TRUE(StringCryptToolW().EncryptToHex(root, hex));
        ASSERT_TRUE(WriteSharedField(GlobalSharedBlock(), kProductFolderField, hex));
        toolPath_ = root + L"\\Logs\\launch.log";
    }
    void TearDown() override {
        WriteSharedField(GlobalSharedBlock(), kProductFolderField, L"");
        WriteSharedField(GlobalSharedBlock(), kTracePathField, L"");
        while (IsPathToolBound()) ReleasePathTool();
    }
    void PutSlot(const std::wstring& path) {
        std::wstring hex;
        ASSERT_TRUE(StringCryptToolW().EncryptToHex(path, hex));
        ASSERT_TRUE(WriteSharedField(GlobalSharedBlock(), kTracePathField, hex));
    }
    // The slot as a second process reads it, decrypted here.
    std::wstring SlotSeenByAnotherProcess() {
        std::string output;
        DWORD exitCode = 1;
        EXPECT_TRUE(RunProgram(L"\"" + BinFolder() + L"\\shared_block_peer.exe\" read global global trace", output,
                               exitCode));
        while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
        std::wstring hex(output.begin(), output.end()), path;
        StringCryptToolW().DecryptFromHex(hex, path);
        return path;
    }

    ScratchFolder product_{L"tqn-trace-product"};
    // Where the installer would record the folder: only then is the stored one honoured.
    tqn::test::ScopedMachineRootDir rootDir_{product_.Path()};
    std::wstring toolPath_;
};

TEST_F(SharedTracePath, AnEmptySlotReceivesThePathToolsFile) {
    EXPECT_EQ(ResolveTraceFilePath(), toolPath_);
    EXPECT_EQ(SlotSeenByAnotherProcess(), toolPath_);
}

TEST_F(SharedTracePath, TheSlotIsUsedWhenItNamesTheSameFile) {
    std::wstring sameInOtherCase = toolPath_;
    for (wchar_t& c : sameInOtherCase) c = static_cast<wchar_t>(::towupper(c));
    PutSlot(sameInOtherCase);
    EXPECT_EQ(ResolveTraceFilePath(), sameInOtherCase);
}

TEST_F(SharedTracePath, AFileNamedByAnotherProcessIsNeverTouched) {
    // A 5 MiB file elsewhere, named in the slot: the 4 MiB rule would delete it.
    ScratchFolder elsewhere(L"tqn-trace-victim");
    const std::wstring victim = elsewhere.Path() + L"\\important.dat";
    const std::string content(5u << 20, 'v');
    ASSERT_TRUE(WriteFileBytes(victim, content));
    PutSlot(victim);

    TraceSourcesScope sources({[] { return kTraceMethodFile; }, ResolveTraceFilePath});
    TraceW(L"{C0FFEE}");
    EXPECT_EQ(ReadAll(victim), content);
    EXPECT_NE(ReadAll(toolPath_).find("[{C0FFEE}]"), std::string::npos);
    EXPECT_EQ(SlotSeenByAnotherProcess(), toolPath_);  // put right for the others too
}

TEST_F(SharedTracePath, ALogFolderWhereTheCallersProgramDataPointsGetsNothing) {
    // The caller's environment, not the machine, names a user's folder.
    ScratchFolder user(L"tqn-trace-user");
    ASSERT_TRUE(WriteFileBytes(product_.Path() + L"\\ptl.dat",
                               "COMMON_APPDATA = %ENV:ProgramData%\nLOG_FOLDER = Logs\nTRACE_FILE_NAME = launch.log\n"));
    wchar_t machine[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"ProgramData", machine, MAX_PATH);
    ::SetEnvironmentVariableW(L"ProgramData", user.Path().c_str());
    EXPECT_EQ(ResolveTraceFilePath(), L"");
    ::SetEnvironmentVariableW(L"ProgramData", machine);
    EXPECT_FALSE(FolderExists(user.Path() + L"\\Logs"));
}

TEST_F(SharedTracePath, WithoutThePathToolTheRecordIsDropped) {
    // The stored product folder has no path tool now; the program folder's is unsigned.
    ASSERT_TRUE(::DeleteFileW((product_.Path() + L"\\ptl.tqm").c_str()));
    ScratchFolder elsewhere(L"tqn-trace-victim");
    const std::wstring victim = elsewhere.Path() + L"\\other.log";
    PutSlot(victim);
    EXPECT_EQ(ResolveTraceFilePath(), L"");
    TraceSourcesScope sources({[] { return kTraceMethodFile; }, ResolveTraceFilePath});
    TraceW(L"{DROPPED}");
    EXPECT_EQ(ReadAll(victim), "<missing>");
}
