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
#include "kit/testsupport/machine_root_dir.h"

namespace tqn::testing {

struct ProductOptions {
    std::wstring program = L"Launch.exe";  // from the build's binary folder
    bool withStringModule = true;
    bool withUninstaller = true;
    std::wstring configSigner = L"brennick";
    std::wstring modulesSigner = L"brennick";  // the path tool's and the script engine's
    std::wstring trayFile = L"tray_probe.exe";            // TRAY_FILE
    std::wstring uninstallFile = L"uninstall_probe.exe";  // UNINSTALL_FILE
    std::string extraData;                 // more data.cfg lines
    std::wstring recordedFolder;           // "productPath"; empty: this folder
    std::wstring installedAs;              // the program's file name here; empty: as built
    int traceMethod = 0;                   // EXCEPTION_REPORT_METHOD (4: Logs\launch.log)
    bool withReport = false;               // LaunchReport.exe beside the program
    bool registered = false;               // the made-up extension registered intact
    bool rootDirOnly = false;              // no "productPath" in data.cfg
    // HKLM RootDir while the product lives: this folder (installed), left
    // as it is (a copy elsewhere), or removed.
    enum class RootDir { ThisFolder, Untouched, Absent } rootDir = RootDir::ThisFolder;

    // The options changed one at a time.
    ProductOptions Program(std::wstring value) const { auto o = *this; o.program = std::move(value); return o; }
    ProductOptions StringModule(bool value) const { auto o = *this; o.withStringModule = value; return o; }
    ProductOptions Uninstaller(bool value) const { auto o = *this; o.withUninstaller = value; return o; }
    ProductOptions ConfigSigner(std::wstring value) const { auto o = *this; o.configSigner = std::move(value); return o; }
    ProductOptions ModulesSigner(std::wstring value) const {
        auto o = *this; o.modulesSigner = value; o.configSigner = std::move(value); return o;
    }
    ProductOptions TrayFile(std::wstring value) const { auto o = *this; o.trayFile = std::move(value); return o; }
    ProductOptions UninstallFile(std::wstring value) const { auto o = *this; o.uninstallFile = std::move(value); return o; }
    ProductOptions ExtraData(std::string value) const { auto o = *this; o.extraData = std::move(value); return o; }
    ProductOptions RecordedFolder(std::wstring value) const { auto o = *this; o.recordedFolder = std::move(value); return o; }
    ProductOptions InstalledAs(std::wstring value) const { auto o = *this; o.installedAs = std::move(value); return o; }
    ProductOptions TraceMethod(int value) const { auto o = *this; o.traceMethod = value; return o; }
    ProductOptions Report(bool value) const { auto o = *this; o.withReport = value; return o; }
    ProductOptions Registered(bool value) const { auto o = *this; o.registered = value; return o; }
    ProductOptions RootDirOnly(bool value) const { auto o = *this; o.rootDirOnly = value; return o; }
    ProductOptions WithRootDir(RootDir value) const { auto o = *this; o.rootDir = value; return o; }
};

// Writes a folder into the global block's product-folder field, as any
// process may, and empties it again.
class StoredProductFolder {
public:
    explicit StoredProductFolder(const std::wstring& folder);
    ~StoredProductFolder();
    StoredProductFolder(const StoredProductFolder&) = delete;
    StoredProductFolder& operator=(const StoredProductFolder&) = delete;
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

    // Rewrites the script with other file settings (the next run reads them).
    void WriteScript(const std::wstring& trayFile, const std::wstring& uninstallFile) const;

    // Runs the program with a command-line tail, with environment variables
    // set for it (and removed afterwards); its output and exit code. With
    // `processes`, the run is made inside a job, and every process it and
    // its children made, however briefly they lived, is added there.
    std::string Run(const std::wstring& tail, DWORD& exitCode,
                    const std::map<std::wstring, std::wstring>& environment = {}, DWORD* processes = nullptr) const;
    // The same for another program of the folder (LaunchReport.exe).
    std::string RunProgramFile(const std::wstring& file, const std::wstring& tail, DWORD& exitCode,
                               DWORD* processes = nullptr) const;

private:
    void Copy(const std::wstring& from, const std::wstring& to);

    void Register() const;

    ScratchFolder folder_;
    std::wstring program_;
    std::wstring extension_;
    int traceMethod_ = 0;
    std::optional<tqn::test::ScopedMachineRootDir> rootDir_;
};

}  // namespace tqn::testing
