// Self-elevation end to end under Wine: launch_harness runs Launch.exe's
// start-up in a product folder of its own (test_product.h), whose guarded
// extension is a made-up one that is not registered (a damaged registration). The membership
// test and the shell's "runas" call go through seams; the message box is
// real (the null graphics driver) and answered by a thread of this test.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "environment/global_data.h"
#include "environment/tests/test_support.h"
#include "launcher/elevation.h"
#include "launcher/tests/test_product.h"
#include "launcher/tests/tray_record.h"
#include "platform/scoped_resource.h"

using namespace tqn::testing;

namespace {

// The buttons a message box shows, in the order of their identifiers. A box
// ends on any of these commands posted to it, whether it shows that button
// or not, so the answer alone proves nothing about what was offered.
std::wstring ButtonsOf(HWND box) {
    const struct {
        int id;
        const wchar_t* name;
    } buttons[] = {{IDOK, L"OK"},         {IDCANCEL, L"Cancel"}, {IDABORT, L"Abort"}, {IDRETRY, L"Retry"},
                   {IDIGNORE, L"Ignore"}, {IDYES, L"Yes"},       {IDNO, L"No"}};
    std::wstring shown;
    for (const auto& button : buttons) {
        const HWND control = ::GetDlgItem(box, button.id);
        if (control != nullptr && ::IsWindowVisible(control)) shown += std::wstring(shown.empty() ? L"" : L" ") + button.name;
    }
    return shown;
}

// Finds the prompt by its caption, reads its message and buttons and answers it.
class PromptAnswerer {
public:
    PromptAnswerer(std::wstring caption, WPARAM answer)
        : thread_([this, caption = std::move(caption), answer] {
              for (int i = 0; i < 1200 && !stop_; ++i) {  // a minute at most
                  if (HWND box = ::FindWindowW(L"#32770", caption.c_str())) {
                      wchar_t text[1024] = {};
                      ::GetDlgItemTextW(box, 0xFFFF, text, 1024);
                      message_ = text;
                      buttons_ = ButtonsOf(box);
                      ++shown_;
                      ::PostMessageW(box, WM_COMMAND, answer, 0);
                      while (::IsWindow(box) && !stop_) ::Sleep(20);
                  }
                  ::Sleep(50);
              }
          }) {}
    ~PromptAnswerer() { Finish(); }
    void Finish() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    int Shown() const { return shown_; }
    const std::wstring& Message() const { return message_; }
    const std::wstring& Buttons() const { return buttons_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> shown_{0};
    std::wstring message_;
    std::wstring buttons_;
    std::thread thread_;
};

// Exit code -1, as a Windows parent sees it (the Unix side sees 255).
constexpr DWORD kEndedAtOnce = static_cast<DWORD>(-1);

const wchar_t kEnglishMessage[] =
    L"The registration of executable files has been damaged.\nTo repair it, Tarvolin must run with administrator "
    L"rights. Run it as administrator now?";

}  // namespace

class Elevation : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tqn::GlobalData().ReadProductFolder().empty()); }
};

TEST_F(Elevation, TheElevatedCopyIsStartedAndTheFirstEndsAtOnce) {
    TestProduct product(ProductOptions().Program(L"launch_harness.exe"));
    tqn::test::RecordExpectation tray;
    DWORD exitCode = 0;
    EXPECT_EQ(product.Run(L"/install", exitCode, {{L"TQN_HARNESS_ADMIN", L"0"}, {L"TQN_HARNESS_RUNAS", L"33"}}), "runas launch_harness.exe []\n");
    EXPECT_EQ(exitCode, kEndedAtOnce);
    EXPECT_TRUE(tray.StaysAbsent());
    EXPECT_FALSE(product.Registered());
}

TEST_F(Elevation, DeclinedPromptExplainsAndAsksOnce) {
    const struct {
        const char* what;
        bool withStringModule;
        WPARAM answer;
        const char* runasCalls;
        DWORD exitCode;
        const wchar_t* caption;
        const wchar_t* message;
    } rows[] = {
        {"No: ends at once", true, IDNO, "runas launch_harness.exe []\n", kEndedAtOnce, L"Tarvolin", kEnglishMessage},
        {"Yes, declined again: ends normally", true, IDYES,
         "runas launch_harness.exe []\nrunas launch_harness.exe []\n", 0, L"Tarvolin", kEnglishMessage},
        {"without the string module the identifiers show", false, IDNO, "runas launch_harness.exe []\n", kEndedAtOnce,
         L"IDS_PRODUCT_NAME", L"IDS_MSG_UAC_CHECK"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TestProduct product(ProductOptions().Program(L"launch_harness.exe").StringModule(row.withStringModule));
        tqn::test::RecordExpectation tray;
        PromptAnswerer answerer(row.caption, row.answer);
        DWORD exitCode = 0;
        EXPECT_EQ(product.Run(L"", exitCode, {{L"TQN_HARNESS_ADMIN", L"0"}, {L"TQN_HARNESS_RUNAS", L"5"}}), row.runasCalls);
        answerer.Finish();
        EXPECT_EQ(exitCode, row.exitCode);
        EXPECT_EQ(answerer.Shown(), 1);  // the second decline shows nothing
        EXPECT_EQ(answerer.Message(), row.message);
        EXPECT_EQ(answerer.Buttons(), L"Yes No");
        EXPECT_TRUE(tray.StaysAbsent(500));
        EXPECT_FALSE(product.Registered());
    }
}

// An administrator whose token user account control filtered (Administrators
// kept for deny only) is not one. Here the filtered token is impersonated on
// the thread over an elevated process token: the test must be made on the
// token in effect and honour the group's deny-only mark.
TEST_F(Elevation, AFilteredAdministratorIsNotOne) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    tqn::ScopedSid administrators;
    ASSERT_TRUE(::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                           0, 0, 0, 0, administrators.Receive()));
    tqn::ScopedHandle own;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, own.Receive())) << ::GetLastError();
    SID_AND_ATTRIBUTES denyOnly{administrators.Get(), 0};
    tqn::ScopedHandle filtered;
    ASSERT_TRUE(::CreateRestrictedToken(own.Get(), 0, 1, &denyOnly, 0, nullptr, 0, nullptr, filtered.Receive()))
        << ::GetLastError();

    // The group is still listed, marked for deny only, as in a filtered token.
    DWORD size = 0;
    ::GetTokenInformation(filtered.Get(), TokenGroups, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    ASSERT_TRUE(::GetTokenInformation(filtered.Get(), TokenGroups, buffer.data(), size, &size)) << ::GetLastError();
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    DWORD attributes = 0;
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        if (::EqualSid(groups->Groups[i].Sid, administrators.Get())) attributes = groups->Groups[i].Attributes;
    }
    EXPECT_EQ(attributes & (SE_GROUP_USE_FOR_DENY_ONLY | SE_GROUP_ENABLED), static_cast<DWORD>(SE_GROUP_USE_FOR_DENY_ONLY));

    tqn::ScopedHandle impersonation;
    ASSERT_TRUE(::DuplicateToken(filtered.Get(), SecurityImpersonation, impersonation.Receive())) << ::GetLastError();
    ASSERT_TRUE(::SetThreadToken(nullptr, impersonation.Get())) << ::GetLastError();
    const bool filteredIsAdministrator = tqn::IsAdministrator();
    ASSERT_TRUE(::RevertToSelf());
    EXPECT_FALSE(filteredIsAdministrator);
    EXPECT_TRUE(tqn::IsAdministrator());  // the elevated process token itself
}

TEST_F(Elevation, TheRealRelaunchStartsTheTrayProgramWithLaunch) {
    // Under Wine "runas" starts the copy at once; the copy has no seams, is an
    // administrator, repairs and starts the tray program with "/launch".
    TestProduct product(ProductOptions().Program(L"launch_harness.exe"));
    tqn::test::RecordExpectation tray;
    DWORD exitCode = 0;
    EXPECT_EQ(product.Run(L"/scan now", exitCode, {{L"TQN_HARNESS_ADMIN", L"0"}}), "");
    EXPECT_EQ(exitCode, kEndedAtOnce);
    tqn::test::TrayRecord record;
    ASSERT_TRUE(tray.Wait(record));
    const std::wstring commandLine = tqn::test::WideField(record, "command_line");
    EXPECT_EQ(commandLine.substr(commandLine.size() - 8), L" /launch") << Utf8(commandLine);
    for (int i = 0; i < 100 && !product.Registered(); ++i) ::Sleep(50);
    EXPECT_TRUE(product.Registered());
}

TEST_F(Elevation, AnAdministratorRepairsAndPassesTheCommandLineOn) {
    TestProduct product(ProductOptions().Program(L"launch_harness.exe"));
    // The user's Explorer overrides of the extension, as malware leaves them.
    const std::wstring explorer = product.ExplorerKey();
    const auto set = [](const std::wstring& key, const wchar_t* name, const wchar_t* data) {
        return ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, data,
                                 static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t)));
    };
    ASSERT_EQ(set(explorer + L"\\UserChoice", L"Progid", L"txtfile"), ERROR_SUCCESS);
    ASSERT_EQ(set(explorer + L"\\OpenWithProgids", L"txtfile", L""), ERROR_SUCCESS);
    ASSERT_EQ(set(explorer + L"\\OpenWithList", L"a", L"notepad.exe"), ERROR_SUCCESS);
    tqn::test::RecordExpectation tray;
    DWORD exitCode = 99;
    EXPECT_EQ(product.Run(L"/scan now", exitCode, {{L"TQN_HARNESS_RUNAS", L"33"}}), "");  // no runas call
    EXPECT_EQ(exitCode, 0u);
    tqn::test::TrayRecord record;
    ASSERT_TRUE(tray.Wait(record));
    const std::wstring commandLine = tqn::test::WideField(record, "command_line");
    EXPECT_EQ(commandLine.substr(commandLine.size() - 10), L" /scan now") << Utf8(commandLine);
    EXPECT_TRUE(product.Registered());
    const auto keyExists = [](const std::wstring& key) {
        tqn::ScopedKey opened;
        return ::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, opened.Receive()) == ERROR_SUCCESS;
    };
    EXPECT_FALSE(keyExists(explorer + L"\\UserChoice"));
    EXPECT_FALSE(keyExists(explorer + L"\\OpenWithProgids"));
    EXPECT_NE(::RegGetValueW(HKEY_CURRENT_USER, (explorer + L"\\OpenWithList").c_str(), L"a", RRF_RT_ANY, nullptr,
                             nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_TRUE(keyExists(explorer + L"\\OpenWithList"));  // the list key itself stays, emptied
}
