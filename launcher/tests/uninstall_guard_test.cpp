// The uninstall guard under Wine: the mutex name from the kit's
// configuration module, the mutex held by another process (mutex_holder).
#include <windows.h>

#include <gtest/gtest.h>

#include "config/config_connector.h"
#include "config/tests/config_product.h"
#include "launcher/tests/held_mutex.h"
#include "launcher/uninstall_guard.h"
#include "platform/scoped_resource.h"

using namespace tqn;
using namespace tqn::testing;

namespace {

void SetMutexName(const std::wstring& name) {
    ConfigConnector connector;
    ASSERT_EQ(connector.Load(), 1);
    connector.Table().LoadDataConfig(0);
    connector.SetDataString(kUninstallMutexNameKey, name);
    ASSERT_EQ(connector.Table().SaveDataConfig(), 1);
    connector.Unload();
}

}  // namespace

TEST(UninstallGuard, ProbesTheNamedMutex) {
    ConfigProduct product(ConfigModuleCopy(L"brennick\\config.tqm"));
    const std::wstring name = L"tqn-uninstall-" + NewGuidText();
    const struct {
        const char* what;
        std::wstring objectName;  // empty: nobody holds it
        const wchar_t* option;
        DWORD openError;  // what the guard's own open of "Local\<name>" meets
        bool running;
    } rows[] = {
        {"held in the session namespace", L"Local\\" + name, L"", ERROR_SUCCESS, true},
        {"held, refusing us", L"Local\\" + name, L"--deny-all", ERROR_ACCESS_DENIED, true},
        {"held only in the global namespace", L"Global\\" + name, L"", ERROR_FILE_NOT_FOUND, false},
        {"not held", L"", L"", ERROR_FILE_NOT_FOUND, false},
    };
    SetMutexName(name);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::unique_ptr<HeldMutex> holder;
        if (!row.objectName.empty()) holder = std::make_unique<HeldMutex>(row.objectName, row.option);
        // The same open as the guard's, so each row stands on the case it names.
        ScopedHandle opened(::OpenMutexW(MUTEX_MODIFY_STATE, TRUE, (L"Local\\" + name).c_str()));
        EXPECT_EQ(opened ? ERROR_SUCCESS : ::GetLastError(), row.openError);
        opened.Reset();
        EXPECT_EQ(IsUninstallRunning(), row.running);
    }
}

TEST(UninstallGuard, NameIsReadAfreshEveryTime) {
    ConfigProduct product(ConfigModuleCopy(L"brennick\\config.tqm"));
    const std::wstring held = L"tqn-uninstall-" + NewGuidText();
    HeldMutex holder(L"Local\\" + held);

    EXPECT_FALSE(IsUninstallRunning());  // no name configured yet
    SetMutexName(held);
    EXPECT_TRUE(IsUninstallRunning());
    SetMutexName(L"tqn-uninstall-" + NewGuidText());
    EXPECT_FALSE(IsUninstallRunning());
    SetMutexName(L"");
    EXPECT_FALSE(IsUninstallRunning());
}

TEST(UninstallGuard, UntrustedConfigurationModuleMeansNoUninstall) {
    // The same data configuration, first through a trusted module, then
    // through one signed by somebody else.
    ScratchFolder configFolder(L"tqn-config");
    const std::wstring held = L"tqn-uninstall-" + NewGuidText();
    HeldMutex holder(L"Local\\" + held);
    {
        ConfigProduct product(ConfigModuleCopy(L"brennick\\config.tqm"), configFolder.Path());
        SetMutexName(held);
        EXPECT_TRUE(IsUninstallRunning());
    }
    ConfigProduct product(ConfigModuleCopy(L"thirdparty\\config.tqm"), configFolder.Path());
    EXPECT_FALSE(IsUninstallRunning());
}
