#include "launcher/tests/test_product.h"

#include <gtest/gtest.h>

#include "crypt/string_crypt_tool.h"
#include "environment/global_data.h"
#include "platform/scoped_resource.h"

namespace tqn::testing {


namespace {

std::wstring Signed(const std::wstring& relative) { return BinFolder() + L"\\..\\signed\\" + relative; }

}  // namespace

TestProduct::TestProduct(const ProductOptions& options)
    : folder_(L"tqn-product"),
      program_(options.installedAs.empty() ? options.program : options.installedAs),
      traceMethod_(options.traceMethod) {
    const std::wstring& root = folder_.Path();
    extension_ = L"tqnlaunch-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64());
    ::CreateDirectoryW((root + L"\\config").c_str(), nullptr);
    ::CreateDirectoryW((root + L"\\Logs").c_str(), nullptr);
    Copy(BinFolder() + L"\\" + options.program, program_);
    Copy(BinFolder() + L"\\tray_probe.exe", L"tray_probe.exe");
    if (options.withUninstaller) Copy(BinFolder() + L"\\uninstall_probe.exe", L"uninstall_probe.exe");
    Copy(Signed(L"env\\" + options.modulesSigner + L"\\ptl.tqm"), L"ptl.tqm");
    Copy(Signed(L"config\\" + options.configSigner + L"\\config.tqm"), L"config.tqm");
    Copy(Signed(L"script\\shared\\" + options.modulesSigner + L"\\script.dll"), L"script.dll");
    if (options.withStringModule) Copy(Signed(L"strings\\brennick\\strings.tqm"), L"strings.tqm");
    if (options.withReport) Copy(BinFolder() + L"\\LaunchReport.exe", L"LaunchReport.exe");
    Copy(Signed(L"skins\\skin_en.skn"), L"config\\skin_en.skn");
    EXPECT_TRUE(WriteFileBytes(root + L"\\ptl.dat",
                               "UTIL_FOLDER = %PRODUCT_FOLDER%\nCONFIG_FOLDER = %PRODUCT_FOLDER%\\config\n"
                               "COMMON_APPDATA = %PRODUCT_FOLDER%\nLOG_FOLDER = Logs\n"
                               "TRACE_FILE_NAME = launch.log\nCONFIG_MODULE = config.tqm\n"
                               "STRING_MODULE = strings.tqm\nSKIN_FILE = skin_ko.dat\n"
                               "SKIN_FILE_JP = skin_jp.dat\nSKIN_FILE_EN = skin_en.dat\n"));
    WriteScript(options.trayFile, options.uninstallFile);
    const std::string productPath =
        options.rootDirOnly ? std::string()
                            : "productPath = " + Utf8(options.recordedFolder.empty() ? root : options.recordedFolder) + "\n";
    EXPECT_TRUE(WriteFileBytes(root + L"\\config\\data.cfg", productPath + options.extraData));
    if (options.registered) Register();
    if (options.rootDir != ProductOptions::RootDir::Untouched) {
        rootDir_.emplace(options.rootDir == ProductOptions::RootDir::ThisFolder ? root : std::wstring());
    }
}

// Values are written as the script language quotes them: a backslash doubled.
void TestProduct::WriteScript(const std::wstring& trayFile, const std::wstring& uninstallFile) const {
    const auto quoted = [](const std::wstring& text) {
        std::string out = "\"";
        for (const char c : Utf8(text)) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
        return out + "\"";
    };
    EXPECT_TRUE(WriteFileBytes(Path() + L"\\script.scd",
                               "[CommonData]\nset EXT_NAME = \"" + Utf8(extension_) + "\"\nset TRAY_FILE = " +
                                   quoted(trayFile) + "\nset UNINSTALL_FILE = " + quoted(uninstallFile) +
                                   "\n[Environment]\nset EXCEPTION_REPORT_METHOD = " +
                                   std::to_string(traceMethod_) + "\n"));
}

TestProduct::~TestProduct() {
    // What a repair may have written for the made-up extension.
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"." + extension_).c_str());
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\." + extension_).c_str());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Classes\\." + extension_).c_str());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, ExplorerKey().c_str());
}

namespace {

void SetText(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    EXPECT_EQ(::RegSetKeyValueW(root, key.c_str(), name, REG_SZ, text.c_str(),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

}  // namespace

// The four conditions of an intact registration, as the repair writes them.
void TestProduct::Register() const {
    const std::wstring key = L"." + extension_;
    SetText(HKEY_CLASSES_ROOT, key, nullptr, L"exefile");
    SetText(HKEY_CLASSES_ROOT, key, L"Content Type", L"application/x-msdownload");
    SetText(HKEY_CLASSES_ROOT, key + L"\\PersistentHandler", nullptr, L"{098f2470-bae0-11cd-b579-08002b30bfeb}");
}

StoredProductFolder::StoredProductFolder(const std::wstring& folder) {
    std::wstring hex;
    EXPECT_TRUE(StringCryptToolW().EncryptToHex(folder, hex));
    EXPECT_TRUE(WriteSharedField(GlobalSharedBlock(), kProductFolderField, hex));
}

StoredProductFolder::~StoredProductFolder() { WriteSharedField(GlobalSharedBlock(), kProductFolderField, L""); }

std::wstring TestProduct::ExplorerKey() const {
    return L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + extension_;
}

bool TestProduct::Registered() const {
    ScopedKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"." + extension_).c_str(), 0, KEY_READ, key.Receive()) ==
           ERROR_SUCCESS;
}

namespace {

// Runs a command line, inside a job when processes are to be counted.
std::string RunCounted(const std::wstring& commandLine, DWORD& exitCode, DWORD* processes) {
    std::string output;
    exitCode = 99;
    if (processes == nullptr) {
        EXPECT_TRUE(RunProgram(commandLine, output, exitCode));
        return output;
    }
    const ScopedHandle job(::CreateJobObjectW(nullptr, nullptr));
    EXPECT_TRUE(job);
    EXPECT_TRUE(RunProgram(commandLine, output, exitCode, [&job](DWORD processId) {
        const ScopedHandle child(::OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, processId));
        EXPECT_TRUE(::AssignProcessToJobObject(job.Get(), child.Get()));
    }));
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    EXPECT_TRUE(::QueryInformationJobObject(job.Get(), JobObjectBasicAccountingInformation, &accounting,
                                            sizeof accounting, nullptr));
    *processes += accounting.TotalProcesses;
    return output;
}

}  // namespace

std::string TestProduct::Run(const std::wstring& tail, DWORD& exitCode,
                             const std::map<std::wstring, std::wstring>& environment, DWORD* processes) const {
    for (const auto& [name, value] : environment) ::SetEnvironmentVariableW(name.c_str(), value.c_str());
    std::string output = RunProgramFile(program_, tail, exitCode, processes);
    for (const auto& [name, value] : environment) ::SetEnvironmentVariableW(name.c_str(), nullptr);
    return output;
}

std::string TestProduct::RunProgramFile(const std::wstring& file, const std::wstring& tail, DWORD& exitCode,
                                        DWORD* processes) const {
    return RunCounted(L"\"" + folder_.Path() + L"\\" + file + L"\" " + tail, exitCode, processes);
}

void TestProduct::Copy(const std::wstring& from, const std::wstring& to) {
    EXPECT_TRUE(::CopyFileW(from.c_str(), (folder_.Path() + L"\\" + to).c_str(), FALSE)) << Utf8(from);
}

}  // namespace tqn::testing
