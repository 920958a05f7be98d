// Runs kit/os_probe under each Windows version Wine can report (set per
// program name in HKCU\Software\Wine\AppDefaults) and checks what it gathered
// and how it was named.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>

#include "kit/testsupport/scratch_folder.h"
#include "platform/module_path.h"
#include "platform/scoped_resource.h"
#include "platform/tests/flag_bits.h"
#include "platform/version_naming.h"

namespace {

using namespace tqn::test;  // the flag bits

const wchar_t* const kFlagKeys[] = {
    L"flags.ntPlatform", L"flags.nt50OrLater", L"flags.vistaOrLater",
    L"flags.windows7",   L"flags.server2008",  L"flags.server2008R2",
    L"flags.windows8",   L"flags.server2012Family", L"flags.windows10",
};

struct VersionCase {
    const char* label;        // test name and probe copy name
    const wchar_t* setting;   // Wine's version setting; null: none
    // What Wine reports for the setting.
    uint32_t platformId, major, minor, build;
    uint8_t productType;
    uint16_t suiteMask;
    const wchar_t* csdVersion;
    uint32_t productInfo;
    // What the record must say.
    const wchar_t* name;
    unsigned flags;
};

// GetProductInfo gives 0x1C (ultimate) on workstations and 7 (standard) on
// servers; it is not asked below 6.0.
const VersionCase kCases[] = {
    {"win10", L"win10", 2, 10, 0, 18362, 1, 0x100, L"", 28,
     L"Microsoft Windows 10 Ultimate Edition, 64-bit (Build 18362)", kNt6 | kWin10},
    {"win81", L"win81", 2, 6, 3, 9600, 1, 0x100, L"", 28,
     L"Microsoft Windows 8.1 Ultimate Edition, 64-bit (Build 9600)", kNt6},
    {"win8", L"win8", 2, 6, 2, 9200, 1, 0x100, L"", 28,
     L"Microsoft Windows 8 Ultimate Edition, 64-bit (Build 9200)", kNt6 | kWin8},
    // No setting is Wine's Windows 7 workstation.
    {"default_win7", nullptr, 2, 6, 1, 7601, 1, 0, L"Service Pack 1", 28,
     L"Microsoft Windows 7 Ultimate Edition, 64-bit Service Pack 1 (Build 7601)", kNt6 | kWin7},
    // Wine's "win7" reports a server: Server 2008 R2 for real.
    {"win7_as_server", L"win7", 2, 6, 1, 7601, 3, 0x100, L"Service Pack 1", 7,
     L"Microsoft Windows Server 2008 R2 Standard Edition, 64-bit Service Pack 1 (Build 7601)", kNt6 | kSrv2008R2},
    {"vista", L"vista", 2, 6, 0, 6002, 1, 0x100, L"Service Pack 2", 28,
     L"Microsoft Windows Vista Ultimate Edition, 64-bit Service Pack 2 (Build 6002)", kNt6},
    {"win2008", L"win2008", 2, 6, 0, 6002, 3, 0x100, L"Service Pack 2", 7,
     L"Microsoft Windows Server 2008 Standard Edition, 64-bit Service Pack 2 (Build 6002)", kNt6 | kSrv2008},
    {"win2003", L"win2003", 2, 5, 2, 3790, 3, 0x100, L"Service Pack 2", 0,
     L"Microsoft Windows Server 2003, Standard x64 Edition Service Pack 2 (Build 3790)", kNt | kNt5},
    {"winxp64", L"winxp64", 2, 5, 2, 3790, 1, 0x100, L"Service Pack 2", 0,
     L"Microsoft Windows XP Professional x64 Edition  Service Pack 2 (Build 3790)", kNt | kNt5},
    {"winxp", L"winxp", 2, 5, 1, 2600, 1, 0x100, L"Service Pack 3", 0,
     L"Microsoft Windows XP Professional Service Pack 3 (Build 2600)", kNt | kNt5},
    {"win2k", L"win2k", 2, 5, 0, 2195, 1, 0, L"Service Pack 4", 0,
     L"Microsoft Windows 2000 Professional Service Pack 4 (Build 2195)", kNt | kNt5},
    // Too old to be named: the NT flag alone, and no name (the probe reports failure).
    {"nt40", L"nt40", 2, 4, 0, 1381, 1, 0, L"Service Pack 6a", 0, L"", kNt},
    // Not the NT family: nothing at all.
    {"win98", L"win98", 1, 4, 10, 0x040A08AE, 0, 0, L" A ", 0, L"", 0},
};

std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }

std::wstring FromUtf8(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

using tqn::ProgramFolder;
using tqn::test::ScratchFolder;

// Wine's per-program version setting, removed again whatever happens.
class WineVersionSetting {
public:
    WineVersionSetting(const std::wstring& exeName, const wchar_t* version)
        : key_(L"Software\\Wine\\AppDefaults\\" + exeName) {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());  // left over by a crashed run
        if (version == nullptr) return;
        tqn::ScopedKey key;
        status_ = ::RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                    key.Receive(), nullptr);
        if (status_ != ERROR_SUCCESS) return;
        const DWORD bytes = static_cast<DWORD>((std::wcslen(version) + 1) * sizeof(wchar_t));
        status_ = ::RegSetValueExW(key.Get(), L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), bytes);
    }
    ~WineVersionSetting() { ::RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }
    LSTATUS Status() const { return status_; }
    bool Exists() const { return KeyExists(key_); }
    static bool KeyExists(const std::wstring& exeNameOrKey) {
        const std::wstring key = exeNameOrKey.rfind(L"Software\\", 0) == 0
                                     ? exeNameOrKey
                                     : L"Software\\Wine\\AppDefaults\\" + exeNameOrKey;
        tqn::ScopedKey opened;
        return ::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, opened.Receive()) == ERROR_SUCCESS;
    }

private:
    std::wstring key_;
    LSTATUS status_ = ERROR_SUCCESS;
};

struct ProbeRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::map<std::wstring, std::wstring> values;
};

// Runs the probe with its standard output in a file; names the failing step, empty when it ran to the end.
std::string RunProbe(const std::wstring& exePath, const std::wstring& outputPath, ProbeRun& run) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    {
        tqn::ScopedFileHandle output(::CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!output) return "create output " + std::to_string(::GetLastError());
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output.Get();
        startup.hStdError = output.Get();
        std::wstring commandLine = L"\"" + exePath + L"\"";
        // Detached: no console host is started that would inherit the output
        // handle and keep the file (and so the scratch folder) busy after the probe ends.
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS,
                              nullptr, nullptr, &startup, &process)) {
            return "CreateProcessW " + std::to_string(::GetLastError());
        }
        tqn::ScopedHandle processHandle(process.hProcess);
        tqn::ScopedHandle threadHandle(process.hThread);
        if (::WaitForSingleObject(processHandle.Get(), 60000) != WAIT_OBJECT_0) {
            ::TerminateProcess(processHandle.Get(), 1);
            return "timed out";
        }
        if (!::GetExitCodeProcess(processHandle.Get(), &run.exitCode)) return "GetExitCodeProcess";
    }
    tqn::ScopedFileHandle input(::CreateFileW(outputPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!input) return "open output " + std::to_string(::GetLastError());
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(input.Get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) bytes.append(chunk, read);

    const std::wstring text = FromUtf8(bytes);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = text.substr(start, end - start);
        const size_t equals = line.find(L'=');
        if (equals != std::wstring::npos) run.values[line.substr(0, equals)] = line.substr(equals + 1);
        start = end + 1;
    }
    return {};
}

uint32_t Number(const ProbeRun& run, const wchar_t* key) {
    const auto it = run.values.find(key);
    return it == run.values.end() ? 0xDEADBEEF : static_cast<uint32_t>(std::wcstoul(it->second.c_str(), nullptr, 10));
}

// Without a per-program setting the default must not be overridden prefix-wide.
void ExpectNoGlobalSetting(const wchar_t* setting) {
    if (setting != nullptr) return;
    tqn::ScopedKey wine;
    wchar_t value[64] = {};
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    const bool global =
        ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Wine", 0, KEY_QUERY_VALUE, wine.Receive()) == ERROR_SUCCESS &&
        ::RegQueryValueExW(wine.Get(), L"Version", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &bytes) ==
            ERROR_SUCCESS;
    ASSERT_FALSE(global) << "the prefix has a global Windows version setting";
}

void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.label; }

class OsProbe : public ::testing::TestWithParam<VersionCase> {};

// The probe under one Windows version: facts as Wine reports them, flags and
// name as the classification gives them, and as written down by hand.
TEST_P(OsProbe, ReportsVersion) {
    const VersionCase& c = GetParam();
    const std::wstring label = Widen(c.label);
    ScratchFolder scratch(label);
    const std::wstring exeName = L"os_probe_" + label + L".exe";
    const std::wstring exePath = scratch.Path() + L"\\" + exeName;
    ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"\\os_probe.exe").c_str(), exePath.c_str(), FALSE))
        << "copy failed: " << ::GetLastError();

    ProbeRun run;
    {
        WineVersionSetting setting(exeName, c.setting);
        ASSERT_EQ(setting.Status(), ERROR_SUCCESS);
        ASSERT_EQ(setting.Exists(), c.setting != nullptr);
        ASSERT_NO_FATAL_FAILURE(ExpectNoGlobalSetting(c.setting));
        ASSERT_EQ(RunProbe(exePath, scratch.Path() + L"\\output.txt", run), "");
    }
    // The per-program setting is gone again.
    EXPECT_FALSE(WineVersionSetting::KeyExists(exeName));

    // The facts Wine reports for this setting.
    tqn::OsFacts facts;
    facts.platformId = Number(run, L"facts.platformId");
    facts.major = Number(run, L"facts.major");
    facts.minor = Number(run, L"facts.minor");
    facts.build = Number(run, L"facts.build");
    facts.productType = static_cast<uint8_t>(Number(run, L"facts.productType"));
    facts.suiteMask = static_cast<uint16_t>(Number(run, L"facts.suiteMask"));
    facts.csdVersion = run.values[L"facts.csdVersion"];
    facts.productInfo = Number(run, L"facts.productInfo");
    facts.serverR2Metric = static_cast<int32_t>(Number(run, L"facts.serverR2Metric"));
    facts.architecture = static_cast<uint16_t>(Number(run, L"facts.architecture"));
    EXPECT_EQ(Number(run, L"facts.gathered"), 1u);
    EXPECT_EQ(facts.platformId, c.platformId);
    EXPECT_EQ(facts.major, c.major);
    EXPECT_EQ(facts.minor, c.minor);
    EXPECT_EQ(facts.build, c.build);
    EXPECT_EQ(facts.productType, c.productType);
    EXPECT_EQ(facts.suiteMask, c.suiteMask);
    EXPECT_EQ(facts.csdVersion, c.csdVersion);
    EXPECT_EQ(facts.productInfo, c.productInfo);
    EXPECT_EQ(facts.serverR2Metric, 0);
    EXPECT_EQ(facts.architecture, 9);

    // The record agrees with the classification of those facts and with
    // what was written down for this Windows.
    const tqn::OsClassification expected = tqn::ClassifyOs(facts);
    const std::wstring& name = run.values[L"displayName"];
    EXPECT_EQ(name, expected.displayName);
    EXPECT_EQ(name, c.name);
    unsigned reported = 0;
    for (unsigned i = 0; i < std::size(kFlagKeys); ++i) {
        const uint32_t value = Number(run, kFlagKeys[i]);
        EXPECT_TRUE(value == 0 || value == 1) << ::testing::PrintToString(std::wstring(kFlagKeys[i]));
        if (value != 0) reported |= 1u << i;
    }
    EXPECT_EQ(reported, FlagBits(expected.flags));
    EXPECT_EQ(reported, c.flags);
    EXPECT_EQ(Number(run, L"isNtPlatform"), (c.flags & kNt) ? 1u : 0u);
    EXPECT_EQ(Number(run, L"record.gathered"), 1u);
    EXPECT_EQ(Number(run, L"record.architecture"), 9u);
    // The probe succeeds only with a name.
    EXPECT_EQ(run.exitCode, name.empty() ? 1u : 0u);
    std::printf("%s: \"%ls\"\n", c.label, name.c_str());
}

INSTANTIATE_TEST_SUITE_P(WineVersions, OsProbe, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.label); });

}  // namespace
