// The script connector under Wine, each case in a process of its own
// (script_probe), with signed copies of the kit's script engine.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "environment/tests/test_support.h"
#include "platform/scoped_resource.h"
#include "script/script_block_reader.h"
#include "script/script_data.h"
#include "script/tests/block_builder.h"

using namespace tqn;
using namespace tqn::testing;

namespace {

const char kScript[] =
    "[CommonData]\n"
    "set EXT_NAME = \"exe\"\n"
    "set TRAY_FILE = \"tray_probe.exe\"\n"
    "set Twice = \"first\"\n"
    "set TWICE = \"second\"\n"
    "set EMPTY = \"\"\n"
    "set DIGITS = \"12abc\"\n"
    "set LETTERS = \"abc\"\n"
    "[Environment]\n"
    "set EXCEPTION_REPORT_METHOD = 4\n";

// A folder holding one copy of script.dll (<variant>/<signer>) and the script.
class ProductFolder {
public:
    ProductFolder(const std::wstring& variant, const std::wstring& signer, const char* script = kScript)
        : scratch_(L"tqn-script") {
        const std::wstring dll =
            BinFolder() + L"\\..\\signed\\script\\" + variant + L"\\" + signer + L"\\script.dll";
        EXPECT_TRUE(::CopyFileW(dll.c_str(), (scratch_.Path() + L"\\script.dll").c_str(), FALSE)) << Utf8(dll);
        EXPECT_TRUE(WriteFileBytes(scratch_.Path() + L"\\script.scd", script));
    }
    const std::wstring& Path() const { return scratch_.Path(); }

private:
    ScratchFolder scratch_;
};

// Runs script_probe; beforeResume sees the suspended child's process ID.
std::string RunProbe(const std::wstring& folder, const std::wstring& commands,
                     const std::function<void(DWORD)>& beforeResume = {}) {
    std::string output;
    DWORD exitCode = 0;
    if (!RunProgram(L"\"" + BinFolder() + L"\\script_probe.exe\" \"" + folder + L"\" " + commands, output, exitCode,
                    beforeResume)) {
        return "CreateProcessW " + std::to_string(::GetLastError());
    }
    return output;
}

// A block with hostile settings, made under a name before anybody else.
class SquattedBlock {
public:
    explicit SquattedBlock(DWORD processId) {
        const auto bytes = test::BuildBlock(
            {{HashName(L"CommonData"), {test::Entry(L"EXT_NAME", L"evil"), test::Entry(L"TRAY_FILE", L"evil.exe")}}});
        mapping_.Reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            static_cast<DWORD>(bytes.size()),
                                            ScriptBlockName(processId).c_str()));
        ScopedView view(::MapViewOfFile(mapping_.Get(), FILE_MAP_WRITE, 0, 0, bytes.size()));
        EXPECT_TRUE(view.Valid());
        if (view) std::memcpy(view.Get(), bytes.data(), bytes.size());
    }

private:
    ScopedHandle mapping_;
};

}  // namespace

// Each variant and signer, two sections in one process.
TEST(ScriptConnector, VariantsAndSigners) {
    const struct {
        const wchar_t* variant;
        const wchar_t* signer;
        const char* expected;
    } rows[] = {
        // Shared block: the second Load finds the block and loads nothing.
        {L"shared", L"brennick",
         "load=1 mode=0 loads=1\nget EXT_NAME=1:exe\nget tray_file=1:tray_probe.exe\n"
         "load=1 mode=0 loads=1\nnum EXCEPTION_REPORT_METHOD=1:4\nget EXT_NAME=0\n"},
        {L"shared", L"halvreth",
         "load=1 mode=0 loads=1\nget EXT_NAME=1:exe\nget tray_file=1:tray_probe.exe\n"
         "load=1 mode=0 loads=1\nnum EXCEPTION_REPORT_METHOD=1:4\nget EXT_NAME=0\n"},
        // Direct sets: each Load loads the module and runs its section.
        {L"suffixed", L"brennick",
         "load=1 mode=1 loads=1\nget EXT_NAME=1:exe\nget tray_file=1:tray_probe.exe\n"
         "load=1 mode=1 loads=2\nnum EXCEPTION_REPORT_METHOD=1:4\nget EXT_NAME=0\n"},
        {L"plain", L"brennick",
         "load=1 mode=1 loads=1\nget EXT_NAME=1:exe\nget tray_file=1:tray_probe.exe\n"
         "load=1 mode=1 loads=2\nnum EXCEPTION_REPORT_METHOD=1:4\nget EXT_NAME=0\n"},
        // An engine that answers "more" for ever, always with its first name:
        // each Load ends, and the first value stays.
        {L"endless", L"brennick",
         "load=1 mode=1 loads=1\nget EXT_NAME=1:exe\nget tray_file=0\n"
         "load=1 mode=1 loads=2\nnum EXCEPTION_REPORT_METHOD=1:4\nget EXT_NAME=0\n"},
    };
    for (const auto& row : rows) {
        ProductFolder folder(row.variant, row.signer);
        EXPECT_EQ(RunProbe(folder.Path(), L"load CommonData get EXT_NAME get tray_file "
                                          L"load Environment num EXCEPTION_REPORT_METHOD get EXT_NAME"),
                  row.expected)
            << Utf8(row.variant) << "/" << Utf8(row.signer);
    }
}

TEST(ScriptConnector, UntrustedModulesGiveNoValues) {
    for (const wchar_t* variant : {L"shared", L"suffixed", L"plain"}) {
        for (const wchar_t* signer : {L"thirdparty", L"unsigned"}) {
            ProductFolder folder(variant, signer);
            // Refused before it is loaded: nothing loaded, direct mode kept, nothing found.
            EXPECT_EQ(RunProbe(folder.Path(), L"load CommonData get EXT_NAME num EXCEPTION_REPORT_METHOD block"),
                      "load=0 mode=1 loads=0\nget EXT_NAME=0\nnum EXCEPTION_REPORT_METHOD=0\nblock=0\n")
                << Utf8(variant) << "/" << Utf8(signer);
        }
    }
}

TEST(ScriptConnector, ValueRulesOfEachMode) {
    const std::wstring commands = L"load CommonData get twice get EMPTY num EMPTY num DIGITS num LETTERS";
    // The first of two sets in different case wins in both modes; an empty
    // value is found only in direct mode.
    ProductFolder shared(L"shared", L"brennick");
    EXPECT_EQ(RunProbe(shared.Path(), commands),
              "load=1 mode=0 loads=1\nget twice=1:first\nget EMPTY=0\nnum EMPTY=0\n"
              "num DIGITS=1:12\nnum LETTERS=1:0\n");
    ProductFolder direct(L"suffixed", L"brennick");
    EXPECT_EQ(RunProbe(direct.Path(), commands),
              "load=1 mode=1 loads=1\nget twice=1:first\nget EMPTY=1:\nnum EMPTY=1:0\n"
              "num DIGITS=1:12\nnum LETTERS=1:0\n");
}

TEST(ScriptConnector, ABlockMadeBeforeOursIsNeverRead) {
    ProductFolder folder(L"shared", L"brennick");
    std::unique_ptr<SquattedBlock> squatter;
    // Made under the child's own block name before it runs: not ours, never
    // read, and the module does not build over it.
    const std::string output = RunProbe(folder.Path(), L"load CommonData get EXT_NAME get TRAY_FILE load CommonData get EXT_NAME block",
                                        [&squatter](DWORD child) { squatter = std::make_unique<SquattedBlock>(child); });
    EXPECT_EQ(output,
              "load=0 mode=0 loads=1\nget EXT_NAME=0\nget TRAY_FILE=0\n"
              "load=0 mode=0 loads=2\nget EXT_NAME=0\nblock=0\n");
}

TEST(ScriptConnector, OnlyTheBlockOurEngineBuiltIsRead) {
    const struct {
        const wchar_t* variant;
        const wchar_t* commands;
        const char* expected;
    } rows[] = {
        // The engine lets its block go between the size check and the view:
        // the view is still of the block it built, not of a fresh empty one.
        {L"shared", L"vanish load CommonData get EXT_NAME load CommonData get TRAY_FILE",
         "load=1 mode=0 loads=1\nget EXT_NAME=1:exe\nload=1 mode=0 loads=1\nget TRAY_FILE=1:tray_probe.exe\n"},
        // The engine's block is gone before it could be mapped: a block that
        // takes the name afterwards is somebody else's.
        {L"fleeting", L"load CommonData get EXT_NAME squat load CommonData get EXT_NAME block",
         "load=0 mode=0 loads=1\nget EXT_NAME=0\nload=0 mode=0 loads=2\nget EXT_NAME=0\nblock=0\n"},
    };
    for (const auto& row : rows) {
        ProductFolder folder(row.variant, L"brennick");
        EXPECT_EQ(RunProbe(folder.Path(), row.commands), row.expected) << Utf8(row.commands);
    }
}

TEST(ScriptConnector, ABlockNamedAfterAnotherProcessIsNeverOpened) {
    // A good block under this (the parent's) process ID.
    SquattedBlock other(::GetCurrentProcessId());
    ProductFolder untrusted(L"shared", L"unsigned");
    EXPECT_EQ(RunProbe(untrusted.Path(), L"load CommonData get EXT_NAME block"),
              "load=0 mode=1 loads=0\nget EXT_NAME=0\nblock=0\n");

    // Two launchers at once, each with its own block: the second neither reads
    // nor refuses the first one's, which holds other values.
    const std::wstring built = L"tqn-script-built-" + NewGuidText();
    const std::wstring release = L"tqn-script-release-" + NewGuidText();
    ScopedHandle builtEvent(::CreateEventW(nullptr, TRUE, FALSE, built.c_str()));
    ScopedHandle releaseEvent(::CreateEventW(nullptr, TRUE, FALSE, release.c_str()));
    ASSERT_TRUE(builtEvent.Valid() && releaseEvent.Valid());
    ProductFolder first(L"shared", L"brennick");
    ProductFolder second(L"shared", L"brennick", "[CommonData]\nset EXT_NAME = \"com\"\n");
    std::string firstOutput;
    std::thread firstRun([&] {
        firstOutput = RunProbe(first.Path(), L"load CommonData signal " + built + L" wait " + release +
                                                 L" get EXT_NAME");
    });
    const bool firstBuilt = ::WaitForSingleObject(builtEvent.Get(), 30000) == WAIT_OBJECT_0;
    const std::string secondOutput = firstBuilt ? RunProbe(second.Path(), L"load CommonData get EXT_NAME") : "";
    ::SetEvent(releaseEvent.Get());
    firstRun.join();
    EXPECT_TRUE(firstBuilt);
    EXPECT_EQ(secondOutput, "load=1 mode=0 loads=1\nget EXT_NAME=1:com\n");
    EXPECT_EQ(firstOutput, "load=1 mode=0 loads=1\nget EXT_NAME=1:exe\n");
}

TEST(ScriptData, ClaimedSizeMustFitTheObjectAndHoldTheHeader) {
    // Mappings are made in whole pages: a 100-byte object is 4096 bytes long.
    const struct {
        DWORD objectSize;
        uint64_t claimed;
        uint64_t accepted;
    } rows[] = {
        {4096, 4096, 4096}, {4096, 16, 16}, {100, 200, 200},
        {4096, 4097, 0},  {4096, 8192, 0}, {4096, ~uint64_t{0}, 0},
        {4096, 15, 0},    {4096, 0, 0},
    };
    for (const auto& row : rows) {
        const std::wstring name = L"tqn-script-size-" + NewGuidText();
        ScopedHandle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, row.objectSize,
                                                  name.c_str()));
        ASSERT_TRUE(mapping.Valid());
        {
            ScopedView view(::MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, 8));
            ASSERT_TRUE(view.Valid());
            std::memcpy(view.Get(), &row.claimed, 8);
        }
        EXPECT_EQ(AcceptedScriptBlockSize(name), row.accepted) << row.claimed << " in " << row.objectSize;
    }
    EXPECT_EQ(AcceptedScriptBlockSize(L"tqn-script-size-" + NewGuidText()), 0u);
}
