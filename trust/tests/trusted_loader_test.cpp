// Trusted loading under Wine, on real signed copies of the probe module made
// at build time (see trust/tests/CMakeLists.txt).
#include "trust/trusted_loader.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "diag/trace.h"
#include "platform/module_path.h"
#include "platform/scoped_resource.h"
#include "trust/certificate_tool.h"
#include "trust/tests/signature_file_edit.h"

namespace tqn {
namespace {

constexpr DWORD kGenuineIdentity = 0x54515031;
constexpr DWORD kImpostorIdentity = 0x21212121;

using tqn::ProgramFolder;

std::wstring SignedCopy(const std::wstring& name) {
    return ProgramFolder() + L"\\..\\signed\\trust\\" + name + L".tqm";
}

DWORD IdentityOf(HMODULE module) {
    using Identity = DWORD(WINAPI*)();
    const FARPROC found = ::GetProcAddress(module, "TrustProbeIdentity");
    Identity identity = nullptr;
    static_assert(sizeof(identity) == sizeof(found));
    std::memcpy(&identity, &found, sizeof(identity));
    return identity ? identity() : 0;
}

template <typename Function>
Function Export(const wchar_t* module, const char* name) {
    const FARPROC found = ::GetProcAddress(::GetModuleHandleW(module), name);
    Function function = nullptr;
    static_assert(sizeof(function) == sizeof(found));
    std::memcpy(&function, &found, sizeof(function));
    return function;
}

// The Unix name of a Windows path, through Wine's own export; empty elsewhere.
std::string UnixName(const std::wstring& path) {
    const auto toUnix = Export<char*(CDECL*)(const wchar_t*)>(L"kernel32.dll", "wine_get_unix_file_name");
    if (toUnix == nullptr) return {};
    ScopedProcessHeapMemory name(toUnix(path.c_str()));
    return name ? std::string(static_cast<const char*>(name.Get())) : std::string();
}

// Runs a Unix program through Wine and waits for its end: its exit status,
// or -1 when there is no Unix side.
long RunUnix(std::vector<std::string> args) {
    const auto spawn = Export<LONG(CDECL*)(char* const*, int)>(L"ntdll.dll", "__wine_unix_spawnvp");
    if (spawn == nullptr) return -1;
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    return spawn(argv.data(), 1);
}

using Loader = HMODULE (*)(const std::wstring&);
struct NamedLoader {
    const char* name;
    Loader load;
};
const NamedLoader kLoaders[] = {
    {"path tool", LoadTrustedPathTool},
    {"configuration module", LoadTrustedConfigModule},
    {"script module", LoadTrustedScriptModule},
};

// A scratch folder of its own per test, removed with everything in it.
class TrustedLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ASSERT_NE(::GetTempPathW(MAX_PATH, temp), 0u);
        scratch_ = std::wstring(temp) + L"tqn-trust-" + std::to_wstring(::GetCurrentProcessId()) +
                   L"-" + std::to_wstring(::GetTickCount64());
        ASSERT_TRUE(::CreateDirectoryW(scratch_.c_str(), nullptr)) << ::GetLastError();
        SetTraceCaptureForTesting([this](const std::wstring& record) { traces_.push_back(record); });
        // Records go to the debugger output, where the capture sees them.
        SetTraceSources({[] { return kTraceMethodDebugger; }, [] { return std::wstring(); }});
        ResetTraceCaches();
    }

    void TearDown() override {
        SetTraceCaptureForTesting(nullptr);
        SetTraceSources({});
        ResetTraceCaches();
        SetBeforeLoadHookForTesting(nullptr);
        SetVerificationHookForTesting(nullptr);
        SetLoadedFileNameForTesting(nullptr);
        ReleaseKeptModules();
        SetTrustStatusForTesting(nullptr);
        for (const std::string& link : unixLinks_) EXPECT_EQ(RunUnix({"rm", "-f", link}), 0) << link;
        RemoveTree(scratch_);
    }

    static void RemoveTree(const std::wstring& folder) {
        // Listed first, removed after, so that no entry goes while the
        // folder is still being listed.
        std::vector<std::pair<std::wstring, bool>> entries;
        WIN32_FIND_DATAW found{};
        HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name != L"." && name != L"..") {
                    entries.emplace_back(folder + L"\\" + name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
                }
            } while (::FindNextFileW(search, &found));
            ::FindClose(search);
        }
        for (const auto& [path, isFolder] : entries) {
            if (isFolder) {
                RemoveTree(path);
            } else {
                EXPECT_TRUE(::DeleteFileW(path.c_str())) << ::testing::PrintToString(path) << " " << ::GetLastError();
            }
        }
        EXPECT_TRUE(::RemoveDirectoryW(folder.c_str())) << ::testing::PrintToString(folder) << " " << ::GetLastError();
    }

    // Makes name, in the scratch folder, a Unix symbolic link to the folder
    // target beside it, or points it there anew: Windows sees a folder whose
    // files change with the link, as behind a retargeted junction.
    bool PointLink(const std::wstring& name, const std::wstring& target) {
        const std::string folder = UnixName(scratch_);
        if (folder.empty()) return false;
        const std::string link = folder + "/" + std::string(name.begin(), name.end());
        if (std::find(unixLinks_.begin(), unixLinks_.end(), link) == unixLinks_.end()) unixLinks_.push_back(link);
        return RunUnix({"ln", "-sfn", std::string(target.begin(), target.end()), link}) == 0;
    }

    // Copies a build-time variant into the scratch folder under its own name.
    std::wstring Place(const std::wstring& variant, const std::wstring& as) {
        const std::wstring target = scratch_ + L"\\" + as;
        EXPECT_TRUE(::CopyFileW(SignedCopy(variant).c_str(), target.c_str(), FALSE))
            << "copy of " << ::testing::PrintToString(variant) << " failed: " << ::GetLastError();
        return target;
    }

    // Writes a variant of brennick.tqm whose signature blob was edited.
    std::wstring PlaceEdited(const std::wstring& as, bool (*edit)(sigedit::Bytes& blob)) {
        sigedit::Bytes pe, blob;
        EXPECT_TRUE(sigedit::ReadFileBytes(SignedCopy(L"brennick"), pe));
        EXPECT_TRUE(sigedit::ExtractSignatureBlob(pe, blob));
        EXPECT_TRUE(edit(blob));
        EXPECT_TRUE(sigedit::ReplaceSignatureBlob(pe, blob));
        const std::wstring target = scratch_ + L"\\" + as;
        EXPECT_TRUE(sigedit::WriteFileBytes(target, pe));
        return target;
    }

    std::wstring scratch_;
    std::vector<std::wstring> traces_;
    std::vector<std::string> unixLinks_;
};

// Every accepted signer name, in either letter case, loads through every caller.
TEST_F(TrustedLoaderTest, AcceptedSignersLoad) {
    for (const wchar_t* variant : {L"brennick", L"halvreth", L"brennick_upper", L"halvreth_lower"}) {
        for (const NamedLoader& loader : kLoaders) {
            const std::wstring path = Place(variant, std::wstring(variant) + L"-" +
                                                         std::to_wstring(&loader - kLoaders) + L".tqm");
            ScopedLibrary module(loader.load(path));
            ASSERT_TRUE(module) << loader.name << " " << ::testing::PrintToString(std::wstring(variant));
            EXPECT_EQ(::GetModuleHandleW(path.c_str()), module.Get());
            EXPECT_EQ(IdentityOf(module.Get()), kGenuineIdentity);
            module.Reset();
            EXPECT_EQ(::GetModuleHandleW(path.c_str()), nullptr) << "still loaded after freeing";
        }
    }
    EXPECT_TRUE(traces_.empty());
}

// Near-miss names, a third party, self-signed, unsigned and tampered files are
// refused by every caller, and nothing of them is loaded.
TEST_F(TrustedLoaderTest, RefusedFilesLoadNothing) {
    for (const wchar_t* variant : {L"brennick_nodot", L"brennick_labs", L"thirdparty", L"selfsigned",
                                   L"unsigned", L"tampered"}) {
        for (const NamedLoader& loader : kLoaders) {
            const std::wstring path = Place(variant, std::wstring(variant) + L"-" +
                                                         std::to_wstring(&loader - kLoaders) + L".tqm");
            ScopedLibrary module(loader.load(path));
            EXPECT_FALSE(module) << loader.name << " " << ::testing::PrintToString(std::wstring(variant));
            EXPECT_EQ(::GetModuleHandleW(path.c_str()), nullptr) << loader.name;
        }
    }
    // None of these is an unusual failure: no trace line at all.
    EXPECT_TRUE(traces_.empty()) << traces_.size() << " lines, first: "
                                 << ::testing::PrintToString(traces_.empty() ? L"" : traces_[0]);
}

// The three primitives on each kind of file.
TEST_F(TrustedLoaderTest, TrustAndSignerOfEachFile) {
    struct Row {
        const wchar_t* variant;
        bool trusted;
        const wchar_t* signer;  // null: no name can be read
    };
    const Row rows[] = {
        {L"brennick", true, L"Brennick Corp."},
        {L"halvreth_lower", true, L"halvreth corp."},
        {L"brennick_labs", true, L"Brennick Corp. Labs"},
        {L"thirdparty", true, L"Orrin Tools Ltd."},
        {L"selfsigned", false, L"Brennick Corp."},  // its chain ends in no trusted root
        {L"tampered", false, L"Brennick Corp."},    // the name still reads, the hash does not match
        {L"unsigned", false, nullptr},
        {L"nested_brennick_first", true, L"Brennick Corp."},
        {L"nested_thirdparty_first", true, L"Orrin Tools Ltd."},
    };
    for (const Row& row : rows) {
        const std::wstring path = Place(row.variant, std::wstring(row.variant) + L".tqm");
        const std::string what = ::testing::PrintToString(std::wstring(row.variant));
        EXPECT_EQ(VerifyFileTrust(path) >= 0, row.trusted) << what;
        std::wstring name = L"untouched";
        if (row.signer) {
            EXPECT_TRUE(GetSignerName(path, name)) << what;
            EXPECT_EQ(name, row.signer) << what;
            EXPECT_EQ(CompareSignerName(path, row.signer), 0) << what;
        } else {
            EXPECT_FALSE(GetSignerName(path, name)) << what;
            EXPECT_EQ(name, L"untouched") << "out-parameter changed on failure";
            EXPECT_EQ(CompareSignerName(path, L"Brennick Corp."), -2) << what;
        }
    }
}

// An unsigned file is a failure of the trust test, never "trusted".
TEST_F(TrustedLoaderTest, UnsignedFileIsNotTrusted) {
    const std::wstring path = Place(L"unsigned", L"unsigned.tqm");
    EXPECT_EQ(VerifyFileTrust(path), static_cast<HRESULT>(0x800B0100));
}

// With two signatures, the first signer alone decides.
TEST_F(TrustedLoaderTest, FirstOfTwoSignersDecides) {
    for (const NamedLoader& loader : kLoaders) {
        const std::wstring first = Place(L"nested_brennick_first", L"first.tqm");
        ScopedLibrary accepted(loader.load(first));
        EXPECT_TRUE(accepted) << loader.name;
        accepted.Reset();

        const std::wstring second = Place(L"nested_thirdparty_first", L"second.tqm");
        ScopedLibrary refused(loader.load(second));
        EXPECT_FALSE(refused) << loader.name;
        EXPECT_EQ(::GetModuleHandleW(second.c_str()), nullptr);
    }
}

// A missing file loads nothing.
TEST_F(TrustedLoaderTest, MissingFile) {
    for (const NamedLoader& loader : kLoaders) {
        EXPECT_EQ(loader.load(scratch_ + L"\\absent.tqm"), nullptr) << loader.name;
    }
}

// A module freed since its load is tested again as the file is now, and
// refused when that file is not trusted.
TEST_F(TrustedLoaderTest, AFreedModuleIsTestedAgain) {
    int tested = 0;
    SetVerificationHookForTesting([&tested](const std::wstring&) { ++tested; });
    const std::wstring path = scratch_ + L"\\module.tqm";
    ASSERT_TRUE(::CopyFileW(SignedCopy(L"unsigned").c_str(), path.c_str(), FALSE));
    EXPECT_EQ(LoadTrustedPathTool(path), nullptr);
    ASSERT_TRUE(::CopyFileW(SignedCopy(L"brennick").c_str(), path.c_str(), FALSE));
    ScopedLibrary module(LoadTrustedPathTool(path));
    EXPECT_TRUE(module);
    module.Reset();
    ASSERT_EQ(::GetModuleHandleW(path.c_str()), nullptr);
    ASSERT_TRUE(::CopyFileW(SignedCopy(L"thirdparty").c_str(), path.c_str(), FALSE));
    EXPECT_EQ(LoadTrustedPathTool(path), nullptr);
    EXPECT_EQ(tested, 3);
}

// A module this process verified and still holds is not tested again when
// asked for by the same full path, however spelt: it gets one more reference.
// A copy at another path is a new load and is tested.
TEST_F(TrustedLoaderTest, AModuleStillLoadedIsNotTestedAgain) {
    std::vector<std::wstring> tested;
    SetVerificationHookForTesting([&tested](const std::wstring& path) { tested.push_back(path); });
    const std::wstring path = Place(L"halvreth", L"twice.tqm");
    const std::wstring copy = Place(L"halvreth", L"copy.tqm");
    ScopedLibrary first(LoadTrustedScriptModule(path));
    ASSERT_TRUE(first);
    ScopedLibrary second(LoadTrustedConfigModule(scratch_ + L"\\.\\TWICE.TQM"));
    EXPECT_EQ(second.Get(), first.Get());
    ScopedLibrary other(LoadTrustedPathTool(copy));
    EXPECT_TRUE(other);
    EXPECT_NE(other.Get(), first.Get());
    EXPECT_EQ(tested, (std::vector<std::wstring>{path, copy}));
    // Two references: the module stays until both are gone.
    second.Reset();
    EXPECT_EQ(::GetModuleHandleW(path.c_str()), first.Get());
    first.Reset();
    EXPECT_EQ(::GetModuleHandleW(path.c_str()), nullptr);
}

// While kept, a verified module outlives its caller's reference, and is not
// tested again; released, it goes, and the next request tests the file.
TEST_F(TrustedLoaderTest, KeptModulesStayUntilReleased) {
    int tested = 0;
    SetVerificationHookForTesting([&tested](const std::wstring&) { ++tested; });
    const std::wstring path = Place(L"brennick", L"kept.tqm");
    KeepVerifiedModulesLoaded(true);
    ::FreeLibrary(LoadTrustedConfigModule(path));
    EXPECT_NE(::GetModuleHandleW(path.c_str()), nullptr);
    ::FreeLibrary(LoadTrustedConfigModule(path));
    EXPECT_EQ(tested, 1);
    ReleaseKeptModules();
    EXPECT_EQ(::GetModuleHandleW(path.c_str()), nullptr);
    ScopedLibrary again(LoadTrustedConfigModule(path));
    EXPECT_TRUE(again);
    EXPECT_EQ(tested, 2);
    again.Reset();
    EXPECT_EQ(::GetModuleHandleW(path.c_str()), nullptr);  // no longer kept
}

// A module already mapped for the path without the tests may have come from
// a file since renamed away: the loader would hand back that image for the
// tested file now lying there. Such a module is refused, never tested.
TEST_F(TrustedLoaderTest, AModuleMappedWithoutTheTestsIsRefused) {
    const std::wstring path = Place(L"unsigned", L"renamed.tqm");
    ScopedLibrary plain(::LoadLibraryW(path.c_str()));
    ASSERT_TRUE(plain);
    ASSERT_TRUE(::MoveFileW(path.c_str(), (scratch_ + L"\\away.tqm").c_str())) << ::GetLastError();
    Place(L"brennick", L"renamed.tqm");
    for (const NamedLoader& loader : kLoaders) {
        int tested = 0;
        SetVerificationHookForTesting([&tested](const std::wstring&) { ++tested; });
        traces_.clear();
        ScopedLibrary module(loader.load(path));
        EXPECT_FALSE(module) << loader.name;
        EXPECT_EQ(tested, 0) << loader.name;
        ASSERT_EQ(traces_.size(), 1u) << loader.name;
        EXPECT_NE(traces_[0].find(L"{6C0B7F43-5D2E-4B8A-9E51-0F3A7C2D94B6} [" + path + L"]"), std::wstring::npos);
    }
}

// The module the loader hands back must be the file that was tested: when it
// names another file (here through the seam: an identical copy), the module is
// released and nothing is loaded; the same file by another spelling passes.
TEST_F(TrustedLoaderTest, TheLoadedModuleMustBeTheTestedFile) {
    const std::wstring path = Place(L"brennick", L"tested.tqm");
    const std::wstring copy = Place(L"brennick", L"other.tqm");
    for (const NamedLoader& loader : kLoaders) {
        SetLoadedFileNameForTesting([&copy](HMODULE) { return copy; });
        traces_.clear();
        EXPECT_EQ(loader.load(path), nullptr) << loader.name;
        EXPECT_EQ(::GetModuleHandleW(path.c_str()), nullptr) << loader.name;
        ASSERT_EQ(traces_.size(), 1u) << loader.name;
        EXPECT_NE(traces_[0].find(L"{6C0B7F43-5D2E-4B8A-9E51-0F3A7C2D94B6} [" + path + L"]"), std::wstring::npos);

        SetLoadedFileNameForTesting([this](HMODULE) { return scratch_ + L"\\.\\TESTED.TQM"; });
        ScopedLibrary module(loader.load(path));
        EXPECT_TRUE(module) << loader.name;
    }
    SetLoadedFileNameForTesting(nullptr);
}

// Between the tests and the load nobody can replace, overwrite, rename or
// delete the file: the module loaded is the one that was tested.
TEST_F(TrustedLoaderTest, FileCannotBeSwappedBeforeTheLoad) {
    for (const NamedLoader& loader : kLoaders) {
        const std::wstring path = Place(L"brennick", L"genuine.tqm");
        const std::wstring impostor = Place(L"impostor", L"impostor.tqm");
        const std::wstring moved = scratch_ + L"\\moved.tqm";
        int attempts = 0;
        SetBeforeLoadHookForTesting([&](const std::wstring& loading) {
            EXPECT_EQ(loading, path);
            ++attempts;
            // Overwrite in place.
            ScopedFileHandle writer(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                  nullptr, OPEN_EXISTING, 0, nullptr));
            EXPECT_FALSE(writer) << loader.name << ": opened for writing";
            // Replace with another file.
            EXPECT_FALSE(::MoveFileExW(impostor.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
                << loader.name << ": replaced";
            EXPECT_FALSE(::CopyFileW(impostor.c_str(), path.c_str(), FALSE)) << loader.name << ": copied over";
            // Move away (then something else could take the name) or delete.
            EXPECT_FALSE(::MoveFileW(path.c_str(), moved.c_str())) << loader.name << ": renamed";
            EXPECT_FALSE(::DeleteFileW(path.c_str())) << loader.name << ": deleted";
        });
        ScopedLibrary module(loader.load(path));
        SetBeforeLoadHookForTesting(nullptr);
        EXPECT_EQ(attempts, 1);
        ASSERT_TRUE(module) << loader.name;
        EXPECT_EQ(IdentityOf(module.Get()), kGenuineIdentity) << loader.name;
        module.Reset();

        // Once the loader has let go, the same replacement goes through.
        EXPECT_TRUE(::MoveFileExW(impostor.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
            << ::GetLastError();
        EXPECT_EQ(LoadTrustedPathTool(path), nullptr);  // the impostor is unsigned
        ::DeleteFileW(path.c_str());
    }
}

// A folder switched between two opens makes one path name two files. Held
// here: a third party's module whose signature verifies; behind the switch,
// when the tests run: one bearing the maker's name whose signature does not;
// switched back before the load. Both tests read the held file, so the lent
// name counts for nothing and every caller refuses.
TEST_F(TrustedLoaderTest, ASwitchedFolderCannotLendItsSigner) {
    ASSERT_TRUE(::CreateDirectoryW((scratch_ + L"\\held").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((scratch_ + L"\\lender").c_str(), nullptr));
    Place(L"thirdparty", L"held\\module.tqm");
    Place(L"selfsigned", L"lender\\module.tqm");
    ASSERT_TRUE(PointLink(L"switched", L"held"));
    const std::wstring path = scratch_ + L"\\switched\\module.tqm";
    for (const NamedLoader& loader : kLoaders) {
        int switched = 0;
        SetVerificationHookForTesting([&](const std::wstring& tested) {
            ASSERT_EQ(tested, path);
            ASSERT_TRUE(PointLink(L"switched", L"lender"));
            // The path now names the lender: the maker's name, no trust.
            std::wstring lent;
            EXPECT_TRUE(GetSignerName(path, lent));
            EXPECT_EQ(lent, L"Brennick Corp.");
            EXPECT_LT(VerifyFileTrust(path), 0);
            ++switched;
        });
        int loads = 0;
        SetBeforeLoadHookForTesting([&](const std::wstring&) {
            ++loads;
            EXPECT_TRUE(PointLink(L"switched", L"held"));
        });
        ScopedLibrary module(loader.load(path));
        EXPECT_FALSE(module) << loader.name;
        EXPECT_EQ(switched, 1) << loader.name;
        EXPECT_EQ(loads, 0) << loader.name;
        ASSERT_TRUE(PointLink(L"switched", L"held"));
    }
}

// The hook runs only when both tests passed.
TEST_F(TrustedLoaderTest, NoLoadStepForRefusedFiles) {
    int calls = 0;
    SetBeforeLoadHookForTesting([&calls](const std::wstring&) { ++calls; });
    for (const NamedLoader& loader : kLoaders) {
        EXPECT_EQ(loader.load(Place(L"thirdparty", L"third.tqm")), nullptr);
    }
    EXPECT_EQ(calls, 0);
}

// The GUID of each trace line's message, in order.
std::vector<std::wstring> TraceTags(const std::vector<std::wstring>& records) {
    std::vector<std::wstring> tags;
    for (const std::wstring& r : records) {
        const size_t open = r.find(L"        [{");
        const size_t close = r.find(L'}', open);
        tags.push_back(open == std::wstring::npos || close == std::wstring::npos
                           ? L"<no tag>"
                           : r.substr(open + 9, close - open - 8));
    }
    return tags;
}

const std::wstring kTrustTag = L"{28AC245E-7AFA-4DBB-A551-38E3F70CBA4A}";
const std::wstring kSignerNotFoundTag = L"{21E0218A-2B22-45D8-83C2-E82A55BDC051}";

// A signature without its certificates: the reader's line shows when the
// reader ran. The configuration module reads the signer first (twice: both
// names); the path tool and the script module stop at the trust test.
TEST_F(TrustedLoaderTest, ReaderLinesShowTheOrder) {
    const std::wstring path = PlaceEdited(L"stripped.tqm", [](sigedit::Bytes& blob) {
        sigedit::Bytes stripped;
        if (!sigedit::StripCertificates(blob, stripped)) return false;
        blob.swap(stripped);
        return true;
    });
    std::wstring name;
    EXPECT_FALSE(GetSignerName(path, name));
    ASSERT_EQ(TraceTags(traces_), std::vector<std::wstring>{kSignerNotFoundTag});
    EXPECT_NE(traces_[0].find(kSignerNotFoundTag + L" 80092004\n]\n"), std::wstring::npos) << traces_[0];

    struct Row {
        const NamedLoader& loader;
        std::vector<std::wstring> tags;
    };
    const Row rows[] = {
        {kLoaders[0], {}},
        {kLoaders[1], {kSignerNotFoundTag, kSignerNotFoundTag}},
        {kLoaders[2], {}},
    };
    for (const Row& row : rows) {
        traces_.clear();
        EXPECT_EQ(row.loader.load(path), nullptr) << row.loader.name;
        EXPECT_EQ(TraceTags(traces_), row.tags) << row.loader.name;
    }
}

// Wine's policy reports "no signature" only with the same status as last
// error; through the seam it reports an unusual one. Its line shows when the
// trust test ran: first for the path tool and the script module, and for the
// configuration module only after its signer matched.
TEST_F(TrustedLoaderTest, TrustLineShowsTheOrder) {
    SetTrustStatusForTesting([](const wchar_t*) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return static_cast<LONG>(0x800B0100);
    });
    const std::wstring maker = Place(L"brennick", L"maker.tqm");
    const std::wstring stripped = PlaceEdited(L"stripped.tqm", [](sigedit::Bytes& blob) {
        sigedit::Bytes out;
        if (!sigedit::StripCertificates(blob, out)) return false;
        blob.swap(out);
        return true;
    });
    traces_.clear();
    EXPECT_EQ(VerifyFileTrust(maker), static_cast<HRESULT>(0x80070002));
    ASSERT_EQ(traces_.size(), 1u);
    EXPECT_NE(traces_[0].find(L"        [" + kTrustTag + L" [0x80070002][" + maker + L"]]\n"),
              std::wstring::npos)
        << ::testing::PrintToString(traces_[0]);

    struct Row {
        const NamedLoader& loader;
        const std::wstring& path;
        std::vector<std::wstring> tags;
    };
    const Row rows[] = {
        {kLoaders[0], maker, {kTrustTag}},
        {kLoaders[1], maker, {kTrustTag}},
        {kLoaders[2], maker, {kTrustTag}},
        {kLoaders[0], stripped, {kTrustTag}},
        {kLoaders[1], stripped, {kSignerNotFoundTag, kSignerNotFoundTag}},
        {kLoaders[2], stripped, {kTrustTag}},
    };
    for (const Row& row : rows) {
        traces_.clear();
        EXPECT_EQ(row.loader.load(row.path), nullptr) << row.loader.name;
        EXPECT_EQ(TraceTags(traces_), row.tags) << row.loader.name;
    }
    SetTrustStatusForTesting(nullptr);
}

// "No signature" with a last error of 0 stays a failure, so a file whose
// signature the policy cannot find is not loaded on the strength of its name.
TEST_F(TrustedLoaderTest, NoSignatureWithoutLastErrorIsRefused) {
    SetTrustStatusForTesting([](const wchar_t*) {
        ::SetLastError(0);
        return static_cast<LONG>(0x800B0100);
    });
    const std::wstring path = Place(L"brennick", L"maker.tqm");
    EXPECT_EQ(VerifyFileTrust(path), static_cast<HRESULT>(0x800B0100));
    for (const NamedLoader& loader : kLoaders) {
        ScopedLibrary module(loader.load(path));
        EXPECT_FALSE(module) << loader.name;
        EXPECT_EQ(::GetModuleHandleW(path.c_str()), nullptr);
    }
    EXPECT_TRUE(traces_.empty());
    SetTrustStatusForTesting(nullptr);
}
}  // namespace
}  // namespace tqn
