// The product-root gate under Wine: the kit's configuration module, and
// "RootDir" in a scratch key (redirecting HKEY_LOCAL_MACHINE itself would
// take the signature check's own registry data away).
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "platform/scoped_resource.h"
#include "config/config_connector.h"
#include "config/product_root.h"
#include "config/tests/config_product.h"
#include "platform/module_path.h"

using namespace tqn;
using namespace tqn::testing;

namespace {

std::wstring Upper(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(::towupper(c));
    return text;
}

// What the data configuration holds, read through the module.
std::optional<std::wstring> StoredProductPath() {
    ConfigConnector connector;
    if (connector.Load() == 0) return std::nullopt;
    connector.Table().LoadDataConfig(0);
    std::wstring value;
    const bool found = connector.GetDataString(kProductPathKey, value) != 0;
    connector.Unload();
    return found ? std::optional<std::wstring>(value) : std::nullopt;
}

void StoreProductPath(const std::wstring& path) {
    ConfigConnector connector;
    ASSERT_EQ(connector.Load(), 1);
    connector.SetDataString(kProductPathKey, path);
    ASSERT_EQ(connector.Table().SaveDataConfig(), 1);
    connector.Unload();
}

// "RootDir" under HKCU\Software\tqn-config-tests\<guid>, read there by
// ResolveProductRoot while this lives.
class ScratchProductKey {
public:
    ScratchProductKey() : path_(L"Software\\tqn-config-tests\\" + NewGuidText()) {
        SetProductKeyForTesting(L"HKEY_CURRENT_USER", path_);
    }
    ~ScratchProductKey() {
        SetProductKeyForTesting(L"", L"");
        ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    void SetRootDir(const std::wstring& value) {
        EXPECT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, path_.c_str(), kRootDirValue, REG_SZ, value.c_str(),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

private:
    std::wstring path_;
};

}  // namespace

TEST(ProductRoot, StoredPathAndRegistry) {
    const std::wstring here = ProgramFolder();
    const std::wstring elsewhere = L"C:\\Elsewhere\\Tarvolin";
    const struct {
        const char* what;
        std::optional<std::wstring> stored;
        std::optional<std::wstring> rootDir;
        bool result;
        std::optional<std::wstring> storedAfter;
        const char* file = nullptr;  // data.cfg as written by hand, instead of stored
    } rows[] = {
        // The installer's RootDir decides; "productPath" alone vouches for nothing.
        {"stored alone, same folder in other case with a trailing backslash", Upper(here) + L"\\", std::nullopt,
         false, Upper(here) + L"\\"},
        {"stored, another folder", elsewhere, std::nullopt, false, elsewhere},
        {"first run: RootDir written back", std::nullopt, here + L"\\", true, here + L"\\"},
        {"RootDir names another folder: nothing written", std::nullopt, elsewhere, false, std::nullopt},
        {"neither: nothing written", std::nullopt, std::nullopt, false, std::nullopt},
        {"a changed RootDir wins over the stored path", here, elsewhere, false, here},
        {"a stored path elsewhere is kept but decides nothing", elsewhere, here, true, elsewhere},
        // The module reads nothing from a malformed file: RootDir decides, and
        // the file is not replaced by one holding "productPath" alone.
        {"a file that does not load is kept", std::nullopt, here, true, std::nullopt,
         "productPath = C:\\Elsewhere\r\nuninstallMutexName = TarvolinUninstall\r\nnot a setting\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchProductKey key;
        if (row.rootDir) key.SetRootDir(*row.rootDir);
        ConfigProduct product(ConfigModuleCopy(L"brennick\\config.tqm"));
        if (row.stored) StoreProductPath(*row.stored);
        if (row.file) ASSERT_TRUE(WriteFileBytes(product.DataFile(), row.file));
        const std::string fileBefore = ReadFileBytes(product.DataFile());

        // The read-only form says what the gate will do.
        const ProductRootCheck inspected = InspectProductRoot();
        EXPECT_EQ(ReadFileBytes(product.DataFile()), fileBefore);
        EXPECT_EQ(ResolveProductRoot(), row.result);
        EXPECT_EQ(inspected.confirmed, row.result);
        EXPECT_EQ(inspected.copiesRootDir, ReadFileBytes(product.DataFile()) != fileBefore);
        EXPECT_EQ(StoredProductPath(), row.storedAfter);
        if (row.stored || !row.rootDir || row.file) {
            EXPECT_EQ(ReadFileBytes(product.DataFile()), fileBefore);
        }
    }
}

TEST(ProductRoot, UntrustedOrRefusingConfigurationModuleFails) {
    // Both places name this folder; neither may be believed or written.
    for (const wchar_t* module : {L"thirdparty\\config.tqm", L"brennick\\config_refusing.tqm"}) {
        SCOPED_TRACE(Utf8(module));
        ScratchProductKey key;
        key.SetRootDir(ProgramFolder());
        ConfigProduct product(ConfigModuleCopy(module));
        const std::string file = "productPath = " + Utf8(ProgramFolder()) + "\r\n";
        ASSERT_TRUE(WriteFileBytes(product.DataFile(), file));
        const ProductRootCheck inspected = InspectProductRoot();
        EXPECT_FALSE(inspected.configurationLoaded);
        EXPECT_FALSE(inspected.copiesRootDir);
        EXPECT_FALSE(inspected.confirmed);
        EXPECT_FALSE(ResolveProductRoot());
        EXPECT_EQ(ReadFileBytes(product.DataFile()), file);
    }
}
