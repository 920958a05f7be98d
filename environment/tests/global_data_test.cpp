// The global shared block for real: named mappings and mutexes shared with a
// second process (kit/shared_block_peer). Most cases use blocks of their own,
// named afresh, so that they start from nothing whatever else runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "crypt/string_crypt_tool.h"
#include "environment/global_data.h"
#include "environment/tests/test_support.h"

namespace tqn {
namespace {

using testing::RunProgram;

// A block and mutex of this test's own.
struct OwnNames {
    std::wstring block = L"Local\\tqn-env-block-" + testing::NewGuidText();
    std::wstring mutex = L"tqn-env-mutex-" + testing::NewGuidText();
};

std::wstring Peer(const std::wstring& arguments) {
    return L"\"" + testing::BinFolder() + L"\\shared_block_peer.exe\" " + arguments;
}

std::string RunPeer(const std::wstring& arguments, DWORD expectedExit = 0) {
    std::string output;
    DWORD exitCode = 99;
    EXPECT_TRUE(RunProgram(Peer(arguments), output, exitCode)) << testing::Utf8(arguments);
    EXPECT_EQ(exitCode, expectedExit) << testing::Utf8(arguments) << ": " << output;
    output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
    return output;
}

std::wstring EncryptedHex(const std::wstring& text) {
    std::wstring hex;
    EXPECT_TRUE(StringCryptToolW().EncryptToHex(text, hex));
    return hex;
}

// Empties the global block's product folder when the test ends, however it ends.
class GlobalProductFolderReset {
public:
    ~GlobalProductFolderReset() { WriteSharedField(GlobalSharedBlock(), kProductFolderField, L""); }
};

TEST(GlobalData, OpenedBeforeMainUnderItsNames) {
    // The static initialiser opened it; the kernel objects exist by name.
    EXPECT_TRUE(GlobalSharedBlock().IsOpen());
    ScopedHandle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, L"Global\\GlobalSpaceShareMemV2"));
    EXPECT_TRUE(mapping.Valid());
    ScopedHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, L"GlobalSpaceMutex"));
    EXPECT_TRUE(mutex.Valid());
    EXPECT_EQ(GlobalSharedBlock().Bytes().size(), 7832u);
    EXPECT_NE(GlobalSharedBlock().Mutex(), nullptr);
}

TEST(GlobalData, SecondOpenChangesNothing) {
    const auto bytes = GlobalSharedBlock().Bytes();
    const HANDLE mutex = GlobalSharedBlock().Mutex();
    EXPECT_EQ(OpenGlobalData(), S_OK);
    EXPECT_EQ(GlobalSharedBlock().Bytes().data(), bytes.data());
    EXPECT_EQ(GlobalSharedBlock().Mutex(), mutex);
}

TEST(GlobalData, FirstProcessCreatesTheBlockZeroFilled) {
    // The peer is the first and only opener of a fresh name.
    const OwnNames names;
    EXPECT_EQ(RunPeer(L"open " + names.block + L" " + names.mutex), "existed=0 zero=1\n");
}

TEST(GlobalData, LaterOpenerSeesWhatTheFirstWrote) {
    const OwnNames names;
    SharedBlock first(names.block, names.mutex, kGlobalBlockSize);
    ASSERT_EQ(first.Open(), S_OK);
    EXPECT_TRUE(std::all_of(first.Bytes().begin(), first.Bytes().end(), [](uint8_t b) { return b == 0; }));
    first.Bytes()[0] = 0x7F;     // a byte outside the launcher's fields
    first.Bytes()[7831] = 0x80;  // the last byte
    ASSERT_TRUE(WriteSharedField(first, kProductFolderField, L"HEX-OF-FOLDER"));

    // Another opener in this process: not zero-filled again.
    SharedBlock second(names.block, names.mutex, kGlobalBlockSize);
    ASSERT_EQ(second.Open(), S_OK);
    EXPECT_EQ(second.Bytes()[0], 0x7F);
    EXPECT_EQ(second.Bytes()[7831], 0x80);
    // And another process.
    EXPECT_EQ(RunPeer(L"read " + names.block + L" " + names.mutex + L" product"), "HEX-OF-FOLDER\n");
    EXPECT_EQ(RunPeer(L"open " + names.block + L" " + names.mutex), "existed=1 zero=0\n");
}

TEST(GlobalData, WhatAnotherProcessWritesIsReadHere) {
    const OwnNames names;
    SharedBlock block(names.block, names.mutex, kGlobalBlockSize);
    ASSERT_EQ(block.Open(), S_OK);
    RunPeer(L"write " + names.block + L" " + names.mutex + L" trace C0FFEE");
    std::wstring text = L"untouched";
    ASSERT_TRUE(ReadSharedField(block, kTracePathField, text));
    EXPECT_EQ(text, L"C0FFEE");
    ASSERT_TRUE(ReadSharedField(block, kProductFolderField, text));
    EXPECT_EQ(text, L"");
}

TEST(GlobalData, GlobalProductFolderIsReadDecryptedHereAndByAnotherProcess) {
    GlobalProductFolderReset reset;
    const std::wstring folder = L"C:\\Program Files\\Tarvolin \x00E9t\x00E9";
    // Written as another product process would: encrypted hex, under the mutex.
    ASSERT_TRUE(WriteSharedField(GlobalSharedBlock(), kProductFolderField, EncryptedHex(folder)));
    EXPECT_EQ(GlobalData().ReadProductFolder(), folder);
    EXPECT_EQ(RunPeer(L"folder"), testing::Utf8(folder) + "\n");
}

TEST(GlobalData, ProductFolderReadOnceThenCached) {
    const OwnNames names;
    SharedBlock block(names.block, names.mutex, kGlobalBlockSize);
    ASSERT_TRUE(WriteSharedField(block, kProductFolderField, EncryptedHex(L"D:\\First")));
    GlobalData data(block);
    EXPECT_EQ(data.ReadProductFolder(), L"D:\\First");
    ASSERT_TRUE(WriteSharedField(block, kProductFolderField, EncryptedHex(L"D:\\Second")));
    EXPECT_EQ(data.ReadProductFolder(), L"D:\\First");
    EXPECT_EQ(GlobalData(block).ReadProductFolder(), L"D:\\Second");  // a new reader sees the change
}

TEST(GlobalData, FieldsThatDoNotDecryptGiveAnEmptyFolder) {
    const OwnNames names;
    SharedBlock block(names.block, names.mutex, kGlobalBlockSize);
    ASSERT_EQ(block.Open(), S_OK);
    const std::wstring good = EncryptedHex(L"C:\\Product");
    const std::wstring cases[] = {
        L"",                                // never written
        L"ZZ",                              // not hex
        good.substr(0, good.size() - 6),    // cut to a byte count that is no whole ciphertext
        good.substr(0, 1),                  // one digit: no byte at all
    };
    for (const std::wstring& field : cases) {
        ASSERT_TRUE(WriteSharedField(block, kProductFolderField, field));
        EXPECT_EQ(GlobalData(block).ReadProductFolder(), L"") << testing::Utf8(field);
    }
}

TEST(GlobalData, UnterminatedFieldIsReadOnlyWithinItself) {
    // Another process filled the block to the brim without a terminator: a
    // read stops at the field's end, not in the trace slot or past the view.
    const OwnNames names;
    SharedBlock block(names.block, names.mutex, kGlobalBlockSize);
    ASSERT_EQ(block.Open(), S_OK);
    auto bytes = block.Bytes();
    for (size_t i = 0; i < bytes.size(); i += 2) {
        bytes[i] = '4';  // the unit L'4', a hex digit, everywhere
        bytes[i + 1] = 0;
    }
    std::wstring text;
    ASSERT_TRUE(ReadSharedField(block, kProductFolderField, text));
    EXPECT_EQ(text, std::wstring(1024, L'4'));
    ASSERT_TRUE(ReadSharedField(block, kTracePathField, text));
    EXPECT_EQ(text, std::wstring(512, L'4'));
    // The folder is what the field's 1024 digits decrypt to; digits read on
    // into the trace slot would decrypt to something longer.
    std::wstring expected;
    ASSERT_TRUE(StringCryptToolW().DecryptFromHex(std::wstring(1024, L'4'), expected));
    EXPECT_EQ(GlobalData(block).ReadProductFolder(), expected);
}

TEST(GlobalData, TextTooLongForItsFieldIsNotWritten) {
    const OwnNames names;
    SharedBlock block(names.block, names.mutex, kGlobalBlockSize);
    ASSERT_TRUE(WriteSharedField(block, kTracePathField, L"kept"));
    EXPECT_FALSE(WriteSharedField(block, kTracePathField, std::wstring(512, L'x')));
    std::wstring text;
    ASSERT_TRUE(ReadSharedField(block, kTracePathField, text));
    EXPECT_EQ(text, L"kept");
    EXPECT_TRUE(WriteSharedField(block, kTracePathField, std::wstring(511, L'x')));
}

TEST(GlobalData, SmallerExistingBlockFailsAndIsRetried) {
    const OwnNames names;
    ScopedHandle small(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 100,
                                            names.block.c_str()));
    ASSERT_TRUE(small.Valid());
    SharedBlock block(names.block, names.mutex, kGlobalBlockSize);
    EXPECT_EQ(block.Open(), E_FAIL);
    EXPECT_FALSE(block.IsOpen());
    EXPECT_TRUE(block.Bytes().empty());
    EXPECT_EQ(block.Mutex(), nullptr);  // no mutex made for a block that did not open
    std::wstring text = L"untouched";
    EXPECT_FALSE(ReadSharedField(block, kProductFolderField, text));
    EXPECT_EQ(text, L"untouched");
    EXPECT_EQ(GlobalData(block).ReadProductFolder(), L"");
    // Once the small block is gone, the next user opens it.
    small.Reset();
    EXPECT_EQ(block.Open(), S_OK);
    EXPECT_EQ(block.Bytes().size(), kGlobalBlockSize);
}

TEST(GlobalData, AbandonedMutexStillLetsTheAccessThrough) {
    const OwnNames names;
    SharedBlock block(names.block, names.mutex, kGlobalBlockSize);
    ASSERT_TRUE(WriteSharedField(block, kTracePathField, L"ABCD"));
    RunPeer(L"abandon " + names.block + L" " + names.mutex);
    std::wstring text;
    ASSERT_TRUE(ReadSharedField(block, kTracePathField, text));
    EXPECT_EQ(text, L"ABCD");
    // The access released the mutex it inherited: another process can take it at once.
    RunPeer(L"abandon " + names.block + L" " + names.mutex);
}

TEST(MemoryBuffer, MapSharedRulesAndRelease) {
    const OwnNames names;
    MemoryBufferExW buffer;
    EXPECT_FALSE(buffer.MapShared(0, true, names.block.c_str()));  // size 0
    EXPECT_FALSE(buffer.MapShared(64, true, nullptr));             // no name, nothing mapped
    ASSERT_TRUE(buffer.MapShared(64, true, names.block.c_str()));
    EXPECT_EQ(buffer.Size(), 64u);
    void* const first = buffer.Data();
    EXPECT_TRUE(buffer.MapShared(128, true, L"Local\\other"));  // already mapped: says so, maps nothing
    EXPECT_EQ(buffer.Data(), first);
    EXPECT_EQ(buffer.Size(), 64u);
    buffer.Release();
    EXPECT_FALSE(buffer.Mapped());
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Size(), 0u);
    // Released: the mapping is gone once nobody holds it.
    ScopedHandle probe(::OpenFileMappingW(FILE_MAP_READ, FALSE, names.block.c_str()));
    EXPECT_FALSE(probe.Valid());
}

}  // namespace
}  // namespace tqn
