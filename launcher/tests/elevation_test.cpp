// Self-elevation end to end under Wine: launch_harness runs Launch.exe's
// start-up in a product folder of its own, whose guarded extension is a
// made-up one that is not registered (a damaged registration). The membership
// test and the shell's "runas" call go through seams; the message box is
// real (the null graphics driver) and answered by a thread of this test.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "environment/global_data.h"
#include "environment/tests/test_support.h"
#include "launcher/tests/tray_record.h"

using namespace tqn::testing;

namespace {

std::wstring Signed(const std::wstring& relative) { return BinFolder() + L"\\..\\signed\\" + relative; }

// A product with launch_harness as its start-up program.
class ElevationProduct {
public:
    explicit ElevationProduct(bool withStringModule = true) : folder_(L"tqn-elevation") {
        const std::wstring& root = folder_.Path();
        extension_ = L"tqnlaunch-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64());
        ::CreateDirectoryW((root + L"\\config").c_str(), nullptr);
        Copy(BinFolder() + L"\\launch_harness.exe", L"launch_harness.exe");
        Copy(BinFolder() + L"\\tray_probe.exe", L"tray_probe.exe");
        Copy(Signed(L"env\\brennick\\ptl.tqm"), L"ptl.tqm");
        Copy(Signed(L"config\\brennick\\config.tqm"), L"config.tqm");
        Copy(Signed(L"script\\shared\\brennick\\script.dll"), L"script.dll");
        if (withStringModule) Copy(Signed(L"strings\\brennick\\strings.tqm"), L"strings.tqm");
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
                                       "[Environment]\nset EXCEPTION_REPORT_METHOD = 0\n"));
        EXPECT_TRUE(WriteFileBytes(root + L"\\config\\data.cfg", "productPath = " + Utf8(root) + "\n"));
    }
    ~ElevationProduct() {
        // What a repair may have written for the made-up extension.
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"." + extension_).c_str());
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\." + extension_).c_str());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Classes\\." + extension_).c_str());
    }
    bool Registered() const {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"." + extension_).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return false;
        }
        ::RegCloseKey(key);
        return true;
    }

    // Runs the harness with the seams' variables; output and exit code.
    std::string Run(const wchar_t* admin, const wchar_t* runas, const std::wstring& tail, DWORD& exitCode) const {
        ::SetEnvironmentVariableW(L"TQN_HARNESS_ADMIN", admin);
        ::SetEnvironmentVariableW(L"TQN_HARNESS_RUNAS", runas);
        std::string output;
        exitCode = 99;
        EXPECT_TRUE(RunProgram(L"\"" + folder_.Path() + L"\\launch_harness.exe\" " + tail, output, exitCode));
        ::SetEnvironmentVariableW(L"TQN_HARNESS_ADMIN", nullptr);
        ::SetEnvironmentVariableW(L"TQN_HARNESS_RUNAS", nullptr);
        return output;
    }

private:
    void Copy(const std::wstring& from, const std::wstring& to) {
        EXPECT_TRUE(::CopyFileW(from.c_str(), (folder_.Path() + L"\\" + to).c_str(), FALSE)) << Utf8(from);
    }

    ScratchFolder folder_;
    std::wstring extension_;
};

// Finds the prompt by its caption, reads its message and answers it.
class PromptAnswerer {
public:
    PromptAnswerer(std::wstring caption, WPARAM answer)
        : thread_([this, caption = std::move(caption), answer] {
              for (int i = 0; i < 400 && !stop_; ++i) {
                  if (HWND box = ::FindWindowW(L"#32770", caption.c_str())) {
                      wchar_t text[1024] = {};
                      ::GetDlgItemTextW(box, 0xFFFF, text, 1024);
                      message_ = text;
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

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> shown_{0};
    std::wstring message_;
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
    ElevationProduct product;
    tqn::test::RecordExpectation tray;
    DWORD exitCode = 0;
    EXPECT_EQ(product.Run(L"0", L"33", L"/install", exitCode), "runas launch_harness.exe []\n");
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
        ElevationProduct product(row.withStringModule);
        tqn::test::RecordExpectation tray;
        PromptAnswerer answerer(row.caption, row.answer);
        DWORD exitCode = 0;
        EXPECT_EQ(product.Run(L"0", L"5", L"", exitCode), row.runasCalls);
        answerer.Finish();
        EXPECT_EQ(exitCode, row.exitCode);
        EXPECT_EQ(answerer.Shown(), 1);  // the second decline shows nothing
        EXPECT_EQ(answerer.Message(), row.message);
        EXPECT_TRUE(tray.StaysAbsent(500));
        EXPECT_FALSE(product.Registered());
    }
}

TEST_F(Elevation, TheRealRelaunchStartsTheTrayProgramWithLaunch) {
    // Under Wine "runas" starts the copy at once; the copy has no seams, is an
    // administrator, repairs and starts the tray program with "/launch".
    ElevationProduct product;
    tqn::test::RecordExpectation tray;
    DWORD exitCode = 0;
    EXPECT_EQ(product.Run(L"0", nullptr, L"/scan now", exitCode), "");
    EXPECT_EQ(exitCode, kEndedAtOnce);
    tqn::test::TrayRecord record;
    ASSERT_TRUE(tray.Wait(record));
    const std::wstring commandLine = tqn::test::WideField(record, "command_line");
    EXPECT_EQ(commandLine.substr(commandLine.size() - 8), L" /launch") << Utf8(commandLine);
    for (int i = 0; i < 100 && !product.Registered(); ++i) ::Sleep(50);
    EXPECT_TRUE(product.Registered());
}

TEST_F(Elevation, AnAdministratorRepairsAndPassesTheCommandLineOn) {
    ElevationProduct product;
    tqn::test::RecordExpectation tray;
    DWORD exitCode = 99;
    EXPECT_EQ(product.Run(nullptr, L"33", L"/scan now", exitCode), "");  // no runas call
    EXPECT_EQ(exitCode, 0u);
    tqn::test::TrayRecord record;
    ASSERT_TRUE(tray.Wait(record));
    const std::wstring commandLine = tqn::test::WideField(record, "command_line");
    EXPECT_EQ(commandLine.substr(commandLine.size() - 10), L" /scan now") << Utf8(commandLine);
    EXPECT_TRUE(product.Registered());
}
