// Times the launcher's settings on their usual road, with the build's signed
// kit modules in scratch folders:
//   - ScriptConnector::Load("CommonData") plus three lookups, direct mode
//     (each Load verifies and runs the module) and shared-block mode (the
//     first Load of a process builds the block, each one after it maps it
//     already; the first is timed in fresh child processes);
//   - ResolveProductRoot with RootDir and "productPath" naming this folder.
//   settings_bench [rounds]   (default 25; under Wine: build/win/wine-run.sh bin/settings_bench.exe)
// Exit code 0 when every road gave the expected values.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "config/config_connector.h"
#include "config/product_root.h"
#include "environment/path_tool.h"
#include "environment/tests/test_support.h"
#include "platform/module_path.h"
#include "script/script_connector.h"

using namespace tqn;
using namespace tqn::testing;

namespace {

double Milliseconds(const std::function<bool()>& round, bool& ok) {
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    ok = round() && ok;
    ::QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1e3 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> samples) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

void Report(const char* what, const std::vector<double>& samples) {
    std::printf("%-58s median %8.2f ms  (%zu rounds)\n", what, Median(samples), samples.size());
}

std::wstring Signed(const std::wstring& relative) { return BinFolder() + L"\\..\\signed\\" + relative; }

const char kScript[] =
    "[CommonData]\nset EXT_NAME = \"exe\"\nset TRAY_FILE = \"tray_probe.exe\"\n"
    "set UNINSTALL_FILE = \"uninstall_probe.exe\"\n";

// Load plus the three settings start-up reads.
bool LoadAndLookUp(const std::wstring& folder) {
    ScriptConnector connector;
    connector.Load(L"CommonData", folder);
    std::wstring ext, tray, uninstall;
    return connector.GetString(L"EXT_NAME", ext) && connector.GetString(L"TRAY_FILE", tray) &&
           connector.GetString(L"UNINSTALL_FILE", uninstall) && ext == L"exe";
}

bool MakeScriptFolder(const ScratchFolder& folder, const wchar_t* variant) {
    return ::CopyFileW(Signed(std::wstring(L"script\\") + variant + L"\\brennick\\script.dll").c_str(),
                       (folder.Path() + L"\\script.dll").c_str(), FALSE) &&
           WriteFileBytes(folder.Path() + L"\\script.scd", kScript);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Child: one first Load in shared-block mode, printed in milliseconds.
    if (argc == 3 && std::wstring(argv[1]) == L"--shared-first") {
        bool ok = true;
        const double ms = Milliseconds([&] { return LoadAndLookUp(argv[2]); }, ok);
        std::printf("%.3f\n", ms);
        return ok ? 0 : 1;
    }
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 25;
    bool ok = true;

    ScratchFolder direct(L"tqn-bench-direct"), shared(L"tqn-bench-shared");
    ok = MakeScriptFolder(direct, L"suffixed") && MakeScriptFolder(shared, L"shared") && ok;

    // The first trusted load of a process pays for the crypto libraries: keep it apart.
    std::vector<double> first, later;
    for (int i = 0; i <= rounds; ++i) {
        (i == 0 ? first : later).push_back(Milliseconds([&] { return LoadAndLookUp(direct.Path()); }, ok));
    }
    Report("direct: first Load + 3 lookups of the process", first);
    Report("direct: Load + 3 lookups", later);

    std::vector<double> sharedFirst;
    for (int i = 0; i < std::min(rounds, 11); ++i) {
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::string output;
        DWORD exitCode = 1;
        ok = RunProgram(L"\"" + std::wstring(self) + L"\" --shared-first \"" + shared.Path() + L"\"", output,
                        exitCode) && exitCode == 0 && ok;
        sharedFirst.push_back(std::atof(output.c_str()));
    }
    Report("shared block: first Load + 3 lookups (builds the block)", sharedFirst);
    std::vector<double> sharedLater;
    LoadAndLookUp(shared.Path());
    for (int i = 0; i < rounds; ++i) {
        sharedLater.push_back(Milliseconds([&] { return LoadAndLookUp(shared.Path()); }, ok));
    }
    Report("shared block: Load + 3 lookups (block mapped)", sharedLater);

    // The product root: RootDir and productPath naming this program's folder.
    ScratchFolder product(L"tqn-bench-product"), config(L"tqn-bench-config");
    ::SetEnvironmentVariableW(L"TQN_BENCH_CONFIG_MODULE", Signed(L"config\\brennick\\config.tqm").c_str());
    ::SetEnvironmentVariableW(L"TQN_BENCH_CONFIG_FOLDER", config.Path().c_str());
    ::CopyFileW(Signed(L"env\\brennick\\ptl.tqm").c_str(), (product.Path() + L"\\ptl.tqm").c_str(), FALSE);
    WriteFileBytes(product.Path() + L"\\ptl.dat",
                   "UTIL_FOLDER = %PRODUCT_FOLDER%\nCONFIG_MODULE = %ENV:TQN_BENCH_CONFIG_MODULE%\n"
                   "CONFIG_FOLDER = %ENV:TQN_BENCH_CONFIG_FOLDER%\n");
    ok = InitializePathTool(0, product.Path()) != 0 && ok;
    {
        ConfigConnector connector;
        ok = connector.Load() != 0 && ok;
        connector.SetDataString(kProductPathKey, ProgramFolder());
        ok = connector.Table().SaveDataConfig != nullptr && connector.Table().SaveDataConfig() != 0 && ok;
        connector.Unload();
    }
    // RootDir, which decides, in a scratch key of the user's naming this program's folder.
    const std::wstring key = L"Software\\tqn-bench-" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring here = ProgramFolder();
    ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), kRootDirValue, REG_SZ, here.c_str(),
                      static_cast<DWORD>((here.size() + 1) * sizeof(wchar_t)));
    SetProductKeyForTesting(L"HKEY_CURRENT_USER", key);
    std::vector<double> root;
    for (int i = 0; i < rounds; ++i) root.push_back(Milliseconds([] { return ResolveProductRoot(); }, ok));
    Report("ResolveProductRoot, RootDir and productPath naming this folder", root);
    SetProductKeyForTesting(L"", L"");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    ReleasePathTool();

    std::printf("%s\n", ok ? "all roads gave the expected values" : "A ROAD FAILED");
    return ok ? 0 : 1;
}
