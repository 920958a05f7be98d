#pragma once
// A product folder of a test's own, as the launcher meets it: the start-up
// program (Launch.exe or launch_harness.exe), the signed kit modules, the
// tray and uninstaller stand-ins, a data configuration that records this
// folder, and a script whose guarded extension is a made-up one, not
// registered (its registration is removed again afterwards).
#include <windows.h>

#include <map>
#include <optional>
#include <string>

#include "environment/tests/test_support.h"

namespace tqn::testing {

struct ProductOptions {
    std::wstring program = L"Launch.exe";  // from the build's binary folder
    bool withStringModule = true;
    bool withUninstaller = true;
    std::wstring configSigner = L"brennick";
    std::string extraData;                 // more data.cfg lines
    std::wstring recordedFolder;           // "productPath"; empty: this folder
    std::wstring installedAs;              // the program's file name here; empty: as built
    int traceMethod = 0;                   // EXCEPTION_REPORT_METHOD (4: Logs\launch.log)
    bool withReport = false;               // LaunchReport.exe beside the program
    bool registered = false;               // the made-up extension registered intact
    bool rootDirOnly = false;              // no "productPath": HKLM RootDir names this folder

    // The options changed one at a time.
    ProductOptions Program(std::wstring value) const { auto o = *this; o.program = std::move(value); return o; }
    ProductOptions StringModule(bool value) const { auto o = *this; o.withStringModule = value; return o; }
    ProductOptions Uninstaller(bool value) const { auto o = *this; o.withUninstaller = value; return o; }
    ProductOptions ConfigSigner(std::wstring value) const { auto o = *this; o.configSigner = std::move(value); return o; }
    ProductOptions ExtraData(std::string value) const { auto o = *this; o.extraData = std::move(value); return o; }
    ProductOptions RecordedFolder(std::wstring value) const { auto o = *this; o.recordedFolder = std::move(value); return o; }
    ProductOptions InstalledAs(std::wstring value) const { auto o = *this; o.installedAs = std::move(value); return o; }
    ProductOptions TraceMethod(int value) const { auto o = *this; o.traceMethod = value; return o; }
    ProductOptions Report(bool value) const { auto o = *this; o.withReport = value; return o; }
    ProductOptions Registered(bool value) const { auto o = *this; o.registered = value; return o; }
    ProductOptions RootDirOnly(bool value) const { auto o = *this; o.rootDirOnly = value; return o; }
};

class TestProduct {
public:
    explicit TestProduct(const ProductOptions& options);
    ~TestProduct();
    TestProduct(const TestProduct&) = delete;
    TestProduct& operator=(const TestProduct&) = delete;

    const std::wstring& Path() const { return folder_.Path(); }
    // The guarded extension, without its dot.
    const std::wstring& Extension() const { return extension_; }
    bool Registered() const;
    // The current user's Explorer overrides for the product's extension (HKCU).
    std::wstring ExplorerKey() const;
    std::wstring TraceFile() const { return Path() + L"\\Logs\\launch.log"; }

    // Runs the program with a command-line tail, with environment variables
    // set for it (and removed afterwards); its output and exit code.
    std::string Run(const std::wstring& tail, DWORD& exitCode,
                    const std::map<std::wstring, std::wstring>& environment = {}) const;
    // The same for another program of the folder (LaunchReport.exe).
    std::string RunProgramFile(const std::wstring& file, const std::wstring& tail, DWORD& exitCode) const;

private:
    void Copy(const std::wstring& from, const std::wstring& to);

    void Register() const;
    void SetRootDir();
    void RestoreRootDir();

    ScratchFolder folder_;
    std::wstring program_;
    std::wstring extension_;
    bool rootDirSet_ = false;
    bool productKeyCreated_ = false;
    std::optional<std::wstring> formerRootDir_;
};

}  // namespace tqn::testing
