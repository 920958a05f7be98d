#include "config/tests/config_product.h"

#include "environment/path_tool.h"
#include "platform/scoped_resource.h"

namespace tqn::testing {

namespace {

const char kPathToolData[] =
    "UTIL_FOLDER   = %PRODUCT_FOLDER%\n"
    "CONFIG_MODULE = %ENV:TQN_TEST_CONFIG_MODULE%\n"
    "CONFIG_FOLDER = %ENV:TQN_TEST_CONFIG_FOLDER%\n";

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH] = {};
    const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::wstring(full) : path;
}

}  // namespace

std::wstring ConfigModuleCopy(const std::wstring& relative) {
    return FullPath(BinFolder() + L"\\..\\signed\\config\\" + relative);
}

ConfigProduct::ConfigProduct(const std::wstring& module, const std::wstring& configFolder)
    : productFolder_(L"tqn-config-product") {
    if (configFolder.empty()) {
        ownConfigFolder_ = std::make_unique<ScratchFolder>(L"tqn-config");
        configFolder_ = ownConfigFolder_->Path();
    } else {
        configFolder_ = configFolder;
    }
    ::SetEnvironmentVariableW(L"TQN_TEST_CONFIG_MODULE", module.c_str());
    ::SetEnvironmentVariableW(L"TQN_TEST_CONFIG_FOLDER", configFolder_.c_str());
    const std::wstring pathTool = FullPath(BinFolder() + L"\\..\\signed\\env\\brennick\\ptl.tqm");
    ::CopyFileW(pathTool.c_str(), (productFolder_.Path() + L"\\ptl.tqm").c_str(), FALSE);
    WriteFileBytes(productFolder_.Path() + L"\\ptl.dat", kPathToolData);
    initialized_ = InitializePathTool(0, productFolder_.Path());
}

ConfigProduct::~ConfigProduct() {
    ReleasePathTool();
    ::SetEnvironmentVariableW(L"TQN_TEST_CONFIG_MODULE", nullptr);
    ::SetEnvironmentVariableW(L"TQN_TEST_CONFIG_FOLDER", nullptr);
}

std::string ReadFileBytes(const std::wstring& path) {
    ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return "<missing>";
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

}  // namespace tqn::testing
