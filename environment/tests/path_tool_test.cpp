// The path-tool binding for real: signed copies of kit/ptl's module loaded
// from scratch folders, each with a "ptl.dat" written here. The table is
// process-wide, so every case releases what it loaded and checks it is empty.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "crypt/string_crypt_tool.h"
#include "environment/global_data.h"
#include "environment/path_tool.h"
#include "environment/tests/test_support.h"
#include "kit/testsupport/machine_root_dir.h"
#include "platform/module_path.h"
#include "trust/root_store.h"

namespace tqn {
namespace {

using testing::ScratchFolder;

// Every variable the launcher asks for, some defined through others.
const std::string kData =
    "# test product\n"
    "COMMON_APPDATA = %PRODUCT_FOLDER%\\data\n"
    "LOG_FOLDER = Logs\n"
    "APPCONFIG_FOLDER = AppConfig\n"
    "UTIL_FOLDER = %PRODUCT_FOLDER%\n"
    "CONFIG_FOLDER = %PRODUCT_FOLDER%\\config\n"
    "CONFIG_MODULE = config.tqm\n"
    "STRING_MODULE = strings.tqm\n"
    "SKIN_FILE = skin_ko.dat\n"
    "SKIN_FILE_JP = skin_jp.dat\n"
    "SKIN_FILE_EN = skin_en.dat\n"
    "TRACE_FILE_NAME = %COMMON_APPDATA%\\%LOG_FOLDER%\\launch.log\n";

enum class Lookup { Folder, File };
struct LookupCase {
    Lookup kind;
    const wchar_t* first;
    const wchar_t* second;
    const wchar_t* expectedUnderFolder;  // appended to the product folder
};
// The lookups the launcher makes, with what kData gives for them.
const std::vector<LookupCase> kLauncherLookups = {
    {Lookup::File, L"UTIL_FOLDER", L"CONFIG_MODULE", L"\\config.tqm"},
    {Lookup::File, L"UTIL_FOLDER", L"STRING_MODULE", L"\\strings.tqm"},
    {Lookup::File, L"CONFIG_FOLDER", L"SKIN_FILE", L"\\config\\skin_ko.dat"},
    {Lookup::File, L"CONFIG_FOLDER", L"SKIN_FILE_JP", L"\\config\\skin_jp.dat"},
    {Lookup::File, L"CONFIG_FOLDER", L"SKIN_FILE_EN", L"\\config\\skin_en.dat"},
    {Lookup::Folder, L"COMMON_APPDATA", L"LOG_FOLDER", L"\\data\\Logs"},
    {Lookup::Folder, L"COMMON_APPDATA", L"APPCONFIG_FOLDER", L"\\data\\AppConfig"},
};

bool RunLookup(const LookupCase& c, std::wstring& out) {
    return c.kind == Lookup::Folder ? GetFolderPathVariable(c.first, c.second, out)
                                    : GetFilePathVariable(c.first, c.second, out);
}

std::wstring LoadedModulePath() {
    wchar_t path[MAX_PATH] = {};
    const HMODULE module = ::GetModuleHandleW(L"ptl.tqm");
    if (module == nullptr || ::GetModuleFileNameW(module, path, MAX_PATH) == 0) return std::wstring();
    return path;
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

class PathTool : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The test CA the kit's modules are signed under must be a trusted root.
        ASSERT_TRUE(AddCertificateFileToMachineRoot(DefaultTestCaPath()));
    }

    void TearDown() override {
        // Whatever a failing case left loaded, so the next case starts clean.
        for (int i = 0; i < 32 && ::GetModuleHandleW(L"ptl.tqm") != nullptr; ++i) ReleasePathTool();
        ReleasePathTool();
        ExpectTableEmpty();
    }

    static void ExpectTableEmpty() {
        EXPECT_EQ(::GetModuleHandleW(L"ptl.tqm"), nullptr);
        EXPECT_FALSE(IsPathToolBound());
        for (size_t slot = 0; slot < ptl::kExportCount; ++slot) EXPECT_EQ(PathToolSlot(slot), nullptr) << slot;
    }

    // A product folder holding the given copy of the module as "ptl.tqm" and a data file.
    std::wstring MakeProductFolder(const std::wstring& copy, const std::string& data = kData) {
        const std::wstring& folder = scratch_.Path();
        EXPECT_TRUE(::CopyFileW(testing::SignedCopy(copy).c_str(), (folder + L"\\ptl.tqm").c_str(), FALSE))
            << testing::Utf8(testing::SignedCopy(copy));
        EXPECT_TRUE(testing::WriteFileBytes(folder + L"\\ptl.dat", data));
        return folder;
    }

    ScratchFolder scratch_;
};

// Empties the global block's product folder when the test ends, however it ends.
class GlobalProductFolderReset {
public:
    ~GlobalProductFolderReset() { WriteSharedField(GlobalSharedBlock(), kProductFolderField, L""); }
};

TEST_F(PathTool, SignedModuleIsBoundAndAnswersTheLaunchersLookups) {
    const std::wstring folder = MakeProductFolder(L"brennick\\ptl.tqm");
    ASSERT_EQ(InitializePathTool(0, folder), 1);
    EXPECT_TRUE(IsPathToolBound());
    EXPECT_TRUE(SamePath(LoadedModulePath(), folder + L"\\ptl.tqm"));
    for (size_t slot = 0; slot < ptl::kExportCount; ++slot) EXPECT_NE(PathToolSlot(slot), nullptr) << slot;

    for (const LookupCase& c : kLauncherLookups) {
        std::wstring out = L"junk";
        EXPECT_TRUE(RunLookup(c, out)) << testing::Utf8(c.second);
        EXPECT_EQ(out, folder + c.expectedUnderFolder);
    }
    std::wstring name;
    EXPECT_TRUE(GetFileNameVariable(L"TRACE_FILE_NAME", name));
    EXPECT_EQ(name, L"launch.log");
    // The newer lookups are called with flag 1, which makes the module create the folder.
    EXPECT_TRUE(testing::FolderExists(folder + L"\\data\\Logs"));

    // A name the data file does not define: false and empty.
    std::wstring out = L"junk";
    EXPECT_FALSE(GetFolderPathVariable(L"COMMON_APPDATA", L"NO_SUCH_FOLDER", out));
    EXPECT_EQ(out, L"");

    ReleasePathTool();
    ExpectTableEmpty();
}

TEST_F(PathTool, SecondAcceptedSignerIsLoadedToo) {
    const std::wstring folder = MakeProductFolder(L"halvreth\\ptl.tqm");
    ASSERT_EQ(InitializePathTool(0, folder), 1);
    std::wstring out;
    EXPECT_TRUE(GetFilePathVariable(L"UTIL_FOLDER", L"CONFIG_MODULE", out));
    EXPECT_EQ(out, folder + L"\\config.tqm");
    ReleasePathTool();
    ExpectTableEmpty();
}

TEST_F(PathTool, RefusedModuleLoadsNothingAndEveryLookupIsEmpty) {
    // Unsigned, and signed by a third party whose chain is valid.
    for (const wchar_t* copy : {L"unsigned\\ptl.tqm", L"thirdparty\\ptl.tqm"}) {
        const std::wstring folder = MakeProductFolder(copy);
        EXPECT_EQ(InitializePathTool(0, folder), 0) << testing::Utf8(copy);
        EXPECT_EQ(::GetModuleHandleW(L"ptl.tqm"), nullptr);
        EXPECT_FALSE(BindPathTool(folder));
        for (const LookupCase& c : kLauncherLookups) {
            std::wstring out = L"junk";
            EXPECT_FALSE(RunLookup(c, out));
            EXPECT_EQ(out, L"");
        }
        std::wstring name = L"junk";
        EXPECT_FALSE(GetFileNameVariable(L"TRACE_FILE_NAME", name));
        EXPECT_EQ(name, L"");
        ExpectTableEmpty();
    }
}

TEST_F(PathTool, MissingModuleOrDataFile) {
    // No module in the folder: nothing to bind.
    EXPECT_EQ(InitializePathTool(0, scratch_.Path()), 0);
    ExpectTableEmpty();
    // A module whose data file is malformed: bound, but Initialize fails and so do the lookups.
    const std::wstring folder = MakeProductFolder(L"brennick\\ptl.tqm", "LOG_FOLDER Logs\n");
    EXPECT_EQ(InitializePathTool(0, folder), 0);
    EXPECT_TRUE(IsPathToolBound());
    std::wstring out = L"junk";
    EXPECT_FALSE(GetFolderPathVariable(L"COMMON_APPDATA", L"LOG_FOLDER", out));
    EXPECT_EQ(out, L"");
    ReleasePathTool();
    ExpectTableEmpty();
}

TEST_F(PathTool, OlderExportVariantServesThroughOlderLookups) {
    const std::wstring folder = MakeProductFolder(L"old\\ptl.tqm");
    ASSERT_EQ(InitializePathTool(0, folder), 1);
    EXPECT_EQ(PathToolSlot(ptl::kGetFolderPathNew2), nullptr);
    EXPECT_EQ(PathToolSlot(ptl::kGetFilePathNew), nullptr);
    EXPECT_NE(PathToolSlot(ptl::kGetFolderPath2), nullptr);
    EXPECT_NE(PathToolSlot(ptl::kGetFilePath), nullptr);
    for (const LookupCase& c : kLauncherLookups) {
        std::wstring out;
        EXPECT_TRUE(RunLookup(c, out)) << testing::Utf8(c.second);
        EXPECT_EQ(out, folder + c.expectedUnderFolder);
    }
    // The older exports take no flag, so no folder was created.
    EXPECT_FALSE(testing::FolderExists(folder + L"\\data\\Logs"));
    ReleasePathTool();
    ExpectTableEmpty();
}

TEST_F(PathTool, ReleaseEmptiesTheTableOnlyWhenTheModuleIsGone) {
    const std::wstring folder = MakeProductFolder(L"brennick\\ptl.tqm");
    ASSERT_EQ(InitializePathTool(0, folder), 1);
    ASSERT_EQ(InitializePathTool(0, folder), 1);  // a second reference
    const FARPROC initialize = PathToolSlot(ptl::kInitialize);
    ReleasePathTool();
    EXPECT_TRUE(IsPathToolBound());
    EXPECT_EQ(PathToolSlot(ptl::kInitialize), initialize);
    std::wstring out;
    EXPECT_TRUE(GetFolderPathVariable(L"COMMON_APPDATA", L"LOG_FOLDER", out));
    ReleasePathTool();
    ExpectTableEmpty();
    EXPECT_FALSE(GetFolderPathVariable(L"COMMON_APPDATA", L"LOG_FOLDER", out));
    EXPECT_EQ(out, L"");
}

TEST_F(PathTool, ModuleAlreadyLoadedKeepsTheTableBoundWhenALoadIsRefused) {
    const std::wstring folder = MakeProductFolder(L"brennick\\ptl.tqm");
    ASSERT_EQ(InitializePathTool(0, folder), 1);
    ScratchFolder other;
    ASSERT_TRUE(::CopyFileW(testing::SignedCopy(L"unsigned\\ptl.tqm").c_str(), (other.Path() + L"\\ptl.tqm").c_str(),
                            FALSE));
    const FARPROC lookup = PathToolSlot(ptl::kGetFolderPathNew2);
    EXPECT_TRUE(BindPathTool(other.Path()));
    EXPECT_EQ(PathToolSlot(ptl::kGetFolderPathNew2), lookup);  // untouched by the refused load
    ReleasePathTool();
    ExpectTableEmpty();
}

TEST_F(PathTool, RebindFillsTheTableFromAModuleAlreadyLoaded) {
    const std::wstring folder = MakeProductFolder(L"brennick\\ptl.tqm");
    // Nothing loaded: rebinding does nothing.
    RebindPathTool();
    ExpectTableEmpty();
    // Loaded by someone else (no table filled): rebinding binds without loading again.
    ASSERT_NE(::LoadLibraryW((folder + L"\\ptl.tqm").c_str()), nullptr);
    EXPECT_FALSE(IsPathToolBound());
    RebindPathTool();
    EXPECT_TRUE(IsPathToolBound());
    for (size_t slot = 0; slot < ptl::kExportCount; ++slot) EXPECT_NE(PathToolSlot(slot), nullptr) << slot;
    ReleasePathTool();  // the one reference there was
    ExpectTableEmpty();
}

// The stored folder is used where RootDir names it, and only there.
TEST_F(PathTool, ProductFolderStoredInTheGlobalBlockIsUsedWhereRootDirNamesIt) {
    GlobalProductFolderReset reset;
    const std::wstring folder = MakeProductFolder(L"brennick\\ptl.tqm");
    // Stored as another product process would: encrypted hex, under the mutex.
    std::wstring hex;
    ASSERT_TRUE(StringCryptToolW().EncryptToHex(folder, hex));
    ASSERT_TRUE(WriteSharedField(GlobalSharedBlock(), kProductFolderField, hex));
    {
        test::ScopedMachineRootDir rootDir(folder + L"x");
        EXPECT_EQ(ProductFolder(), ProgramFolder());
    }
    test::ScopedMachineRootDir rootDir(folder);
    EXPECT_EQ(ProductFolder(), folder);

    ASSERT_EQ(InitializePathTool(0, std::wstring()), 1);
    EXPECT_TRUE(SamePath(LoadedModulePath(), folder + L"\\ptl.tqm"));
    std::wstring out;
    EXPECT_TRUE(GetFolderPathVariable(L"COMMON_APPDATA", L"LOG_FOLDER", out));
    EXPECT_EQ(out, folder + L"\\data\\Logs");
    ReleasePathTool();
    ExpectTableEmpty();
}

TEST_F(PathTool, ProgramFolderIsUsedWhenTheBlockHoldsNone) {
    // A program started from the scratch folder, beside its own ptl.tqm and ptl.dat.
    GlobalProductFolderReset reset;
    ASSERT_TRUE(WriteSharedField(GlobalSharedBlock(), kProductFolderField, L""));
    const std::wstring folder = MakeProductFolder(L"brennick\\ptl.tqm");
    const std::wstring probe = folder + L"\\path_tool_probe.exe";
    ASSERT_TRUE(::CopyFileW((testing::BinFolder() + L"\\path_tool_probe.exe").c_str(), probe.c_str(), FALSE));
    std::string output;
    DWORD exitCode = 99;
    ASSERT_TRUE(testing::RunProgram(L"\"" + probe + L"\"", output, exitCode));
    EXPECT_EQ(exitCode, 0u) << output;
    const std::string expected = "init=1\nmodule=" + testing::Utf8(folder) + "\\ptl.tqm\nlog=" +
                                 testing::Utf8(folder) + "\\data\\Logs\n";
    EXPECT_EQ(_stricmp(output.c_str(), expected.c_str()), 0) << output << "\nexpected:\n" << expected;
}

// What another process may leave in the block's folder field, and the whole
// block overwritten with random bytes: the program beside its own trusted
// path tool still starts it from the program folder.
TEST_F(PathTool, HostileStoredFolderFallsBackToTheProgramFolder) {
    const std::wstring folder = MakeProductFolder(L"brennick\\ptl.tqm");
    const std::wstring probe = folder + L"\\path_tool_probe.exe";
    ASSERT_TRUE(::CopyFileW((testing::BinFolder() + L"\\path_tool_probe.exe").c_str(), probe.c_str(), FALSE));
    ScratchFolder untrusted;  // a plain folder whose path tool fails the trust tests
    ASSERT_TRUE(::CopyFileW(testing::SignedCopy(L"thirdparty\\ptl.tqm").c_str(),
                            (untrusted.Path() + L"\\ptl.tqm").c_str(), FALSE));
    ASSERT_TRUE(testing::WriteFileBytes(untrusted.Path() + L"\\ptl.dat", kData));
    ScratchFolder genuine;  // a genuine signed copy beside somebody's own data
    ASSERT_TRUE(::CopyFileW(testing::SignedCopy(L"brennick\\ptl.tqm").c_str(),
                            (genuine.Path() + L"\\ptl.tqm").c_str(), FALSE));
    ASSERT_TRUE(testing::WriteFileBytes(genuine.Path() + L"\\ptl.dat", kData));

    GlobalProductFolderReset reset;
    const std::span<uint8_t> block = GlobalSharedBlock().Bytes();
    ASSERT_FALSE(block.empty());
    const std::vector<uint8_t> saved(block.begin(), block.end());
    const struct {
        const char* what;
        std::wstring stored;  // empty: random bytes over the whole block
    } rows[] = {
        {"a relative folder", L"Tarvolin"},
        {"a UNC folder", L"\\\\server\\share\\Tarvolin"},
        {"a folder with dots", folder + L"\\..\\" + folder.substr(folder.rfind(L'\\') + 1)},
        {"a folder without a trusted path tool", untrusted.Path()},
        {"a folder with a trusted path tool, not RootDir's", genuine.Path()},
        {"random bytes", L""},
    };
    std::srand(7);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.stored.empty()) {
            for (uint8_t& byte : block) byte = static_cast<uint8_t>(std::rand());
        } else {
            std::wstring hex;
            ASSERT_TRUE(StringCryptToolW().EncryptToHex(row.stored, hex));
            ASSERT_TRUE(WriteSharedField(GlobalSharedBlock(), kProductFolderField, hex));
            ASSERT_EQ(GlobalData().ReadProductFolder(), row.stored);
        }
        std::string output;
        DWORD exitCode = 99;
        ASSERT_TRUE(testing::RunProgram(L"\"" + probe + L"\"", output, exitCode));
        std::copy(saved.begin(), saved.end(), block.begin());
        EXPECT_EQ(exitCode, 0u) << output;
        const std::string expected = "init=1\nmodule=" + testing::Utf8(folder) + "\\ptl.tqm\n";
        EXPECT_EQ(_strnicmp(output.c_str(), expected.c_str(), expected.size()), 0) << output;
    }
}

TEST_F(PathTool, ModuleAcceptsOnlyTheLaunchersToken) {
    const std::wstring folder = MakeProductFolder(L"brennick\\ptl.tqm");
    ASSERT_EQ(InitializePathTool(0, folder), 1);
    const auto initialize = reinterpret_cast<ptl::InitializeFn>(
        reinterpret_cast<void*>(PathToolSlot(ptl::kInitialize)));
    const std::wstring good = BuildCallerToken();
    std::wstring forged = good;
    forged.back() = forged.back() == L'0' ? L'1' : L'0';
    EXPECT_EQ(initialize(L"ptl.dat", folder.c_str(), forged.c_str(), 0), 0);
    EXPECT_EQ(initialize(L"ptl.dat", folder.c_str(), L"", 0), 0);
    std::wstring out = L"junk";
    EXPECT_FALSE(GetFolderPathVariable(L"COMMON_APPDATA", L"LOG_FOLDER", out));  // a failed start forgets the data
    EXPECT_EQ(out, L"");
    EXPECT_EQ(initialize(L"ptl.dat", folder.c_str(), good.c_str(), 0), 1);
    EXPECT_TRUE(GetFolderPathVariable(L"COMMON_APPDATA", L"LOG_FOLDER", out));
    ReleasePathTool();
    ExpectTableEmpty();
}

TEST(CallerTokenOnThisSystem, SaltFromTheSecondsAndDigestFromTheVolume) {
    // Two tokens of the same second share their salt; both are what the
    // runtime's generator, seeded with that second, and the volume serial give.
    std::wstring first;
    std::wstring second;
    __time64_t before = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        before = _time64(nullptr);
        first = BuildCallerToken();
        second = BuildCallerToken();
        if (_time64(nullptr) == before) break;
    }
    ASSERT_TRUE(HasCallerTokenShape(first));
    EXPECT_EQ(first, second);

    std::srand(static_cast<unsigned>(before));
    const auto r1 = static_cast<uint32_t>(std::rand() % 255);
    const auto r2 = static_cast<uint32_t>(std::rand() % 255);
    wchar_t windows[128] = {};
    ASSERT_NE(::GetWindowsDirectoryW(windows, 128), 0u);
    DWORD serial = 0;
    std::optional<uint32_t> volumeSerial;
    if (::GetVolumeInformationW(VolumeRootOf(windows).c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
        volumeSerial = serial;
    }
    EXPECT_EQ(first, ComposeCallerToken(volumeSerial, r1, r2));
}

}  // namespace
}  // namespace tqn
