#pragma once
// A product as the configuration connector meets it under Wine: a signed
// path tool in a scratch folder whose data file takes CONFIG_MODULE and
// CONFIG_FOLDER from this process's environment, a copy of the kit's
// configuration module chosen by the test, and a scratch configuration folder.
#include <windows.h>

#include <memory>
#include <string>

#include "environment/tests/test_support.h"

namespace tqn::testing {

// <build>\signed\config\<relative>, as a full path.
std::wstring ConfigModuleCopy(const std::wstring& relative);

class ConfigProduct {
public:
    // module: the configuration module's full path. configFolder: empty for
    // a scratch folder of the product's own.
    explicit ConfigProduct(const std::wstring& module, const std::wstring& configFolder = std::wstring());
    ~ConfigProduct();
    ConfigProduct(const ConfigProduct&) = delete;
    ConfigProduct& operator=(const ConfigProduct&) = delete;

    const std::wstring& ConfigFolder() const { return configFolder_; }
    std::wstring DataFile() const { return configFolder_ + L"\\data.cfg"; }
    bool PathToolReady() const { return initialized_ != 0; }

private:
    ScratchFolder productFolder_;
    std::unique_ptr<ScratchFolder> ownConfigFolder_;
    std::wstring configFolder_;
    int32_t initialized_ = 0;
};

std::string ReadFileBytes(const std::wstring& path);

}  // namespace tqn::testing
