#include "launcher/tests/test_product.h"

#include <gtest/gtest.h>

#include "platform/scoped_resource.h"

namespace tqn::testing {

namespace {

std::wstring Signed(const std::wstring& relative) { return BinFolder() + L"\\..\\signed\\" + relative; }

}  // namespace

TestProduct::TestProduct(const ProductOptions& options)
    : folder_(L"tqn-product"), program_(options.installedAs.empty() ? options.program : options.installedAs) {
    const std::wstring& root = folder_.Path();
    extension_ = L"tqnlaunch-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64());
    ::CreateDirectoryW((root + L"\\config").c_str(), nullptr);
    ::CreateDirectoryW((root + L"\\Logs").c_str(), nullptr);
    Copy(BinFolder() + L"\\" + options.program, program_);
    Copy(BinFolder() + L"\\tray_probe.exe", L"tray_probe.exe");
    if (options.withUninstaller) Copy(BinFolder() + L"\\uninstall_probe.exe", L"uninstall_probe.exe");
    Copy(Signed(L"env\\brennick\\ptl.tqm"), L"ptl.tqm");
    Copy(Signed(L"config\\" + options.configSigner + L"\\config.tqm"), L"config.tqm");
    Copy(Signed(L"script\\shared\\brennick\\script.dll"), L"script.dll");
    if (options.withStringModule) Copy(Signed(L"strings\\brennick\\strings.tqm"), L"strings.tqm");
    Copy(Signed(L"skins\\skin_en.skn"), L"config\\skin_en.skn");
    EXPECT_TRUE(WriteFileBytes(root + L"\\ptl.dat",
                               "UTIL_FOLDER = %PRODUCT_FOLDER%\nCONFIG_FOLDER = %PRODUCT_FOLDER%\\config\n"
                               "COMMON_APPDATA = %PRODUCT_FOLDER%\nLOG_FOLDER = Logs\n"
                               "TRACE_FILE_NAME = launch.log\nCONFIG_MODULE = config.tqm\n"
                               "STRING_MODULE = strings.tqm\nSKIN_FILE = skin_ko.dat\n"
                               "SKIN_FILE_JP = skin_jp.dat\nSKIN_FILE_EN = skin_en.dat\n"));
    EXPECT_TRUE(WriteFileBytes(root + L"\\script.scd",
                               "[CommonData]\nset EXT_NAME = \"" + Utf8(extension_) +
                                   "\"\nset TRAY_FILE = \"tray_probe.exe\"\n"
                                   "set UNINSTALL_FILE = \"uninstall_probe.exe\"\n"
                                   "[Environment]\nset EXCEPTION_REPORT_METHOD = " +
                                   std::to_string(options.traceMethod) + "\n"));
    EXPECT_TRUE(WriteFileBytes(root + L"\\config\\data.cfg",
                               "productPath = " + Utf8(options.recordedFolder.empty() ? root : options.recordedFolder) +
                                   "\n" + options.extraData));
}

TestProduct::~TestProduct() {
    // What a repair may have written for the made-up extension.
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"." + extension_).c_str());
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\." + extension_).c_str());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Classes\\." + extension_).c_str());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, ExplorerKey().c_str());
}

std::wstring TestProduct::ExplorerKey() const {
    return L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + extension_;
}

bool TestProduct::Registered() const {
    ScopedKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"." + extension_).c_str(), 0, KEY_READ, key.Receive()) ==
           ERROR_SUCCESS;
}

std::string TestProduct::Run(const std::wstring& tail, DWORD& exitCode,
                             const std::map<std::wstring, std::wstring>& environment) const {
    for (const auto& [name, value] : environment) ::SetEnvironmentVariableW(name.c_str(), value.c_str());
    std::string output;
    exitCode = 99;
    EXPECT_TRUE(RunProgram(L"\"" + folder_.Path() + L"\\" + program_ + L"\" " + tail, output, exitCode));
    for (const auto& [name, value] : environment) ::SetEnvironmentVariableW(name.c_str(), nullptr);
    return output;
}

void TestProduct::Copy(const std::wstring& from, const std::wstring& to) {
    EXPECT_TRUE(::CopyFileW(from.c_str(), (folder_.Path() + L"\\" + to).c_str(), FALSE)) << Utf8(from);
}

}  // namespace tqn::testing
