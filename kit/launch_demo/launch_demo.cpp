// Shows the launch machinery at work until the launcher's own entry point
// exists: the Windows facts it decides on, the launch path it chooses, and how
// the tray program's stand-in was started by each path.
#include <windows.h>

#include <cstdio>
#include <string>

#include "crypt/format.h"
#include "crypt/text_conversion.h"
#include "kit/testsupport/console_text.h"
#include "launcher/elevation.h"
#include "launcher/launch_decisions.h"
#include "launcher/process_launch.h"
#include "platform/process_settings.h"
#include "platform/os_info.h"

namespace {

std::wstring ReadRecord(const std::wstring& path) {
    for (int i = 0; i < 200; ++i) {
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            char buffer[2048] = {};
            DWORD read = 0;
            ::ReadFile(file, buffer, sizeof(buffer) - 1, &read, nullptr);
            ::CloseHandle(file);
            ::DeleteFileW(path.c_str());
            std::wstring text;
            Utf8ToWide(std::string(buffer, read), text);
            return text;
        }
        ::Sleep(50);
    }
    return L"(no record: nothing was started)\n";
}

template <typename Start>
void Show(const wchar_t* title, Start start) {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring record = std::wstring(temp) + L"tqn-launch-demo.txt";
    ::DeleteFileW(record.c_str());
    ::SetEnvironmentVariableW(L"TQN_TRAY_RECORD", record.c_str());
    start();
    tqn::test::PrintLine(std::wstring(L"--- ") + title);
    tqn::test::PrintLine(ReadRecord(record));
}

const wchar_t* PathName(tqn::LaunchPath path) {
    switch (path) {
        case tqn::LaunchPath::ConsoleSession: return L"console session";
        case tqn::LaunchPath::Plain: return L"plain";
        case tqn::LaunchPath::MediumIntegrity: return L"medium integrity";
    }
    return L"?";
}

}  // namespace

int wmain() {
    tqn::EnsureOsInfo();
    const auto& os = tqn::OsInfo();
    std::wstring facts;
    tqn::AppendFormat(facts, L"Windows: %ls\nadministrator: %d, medium integrity: %d",
                      os.displayName.c_str(), tqn::IsAdministrator() ? 1 : 0,
                      tqn::IsMediumIntegrity() ? 1 : 0);
    tqn::test::PrintLine(facts);
    const bool medium = tqn::IsMediumIntegrity();
    tqn::test::PrintLine(std::wstring(L"chosen path, dropElevation false: ") +
          PathName(tqn::ChooseLaunchPath(false, false, os.flags, medium)));
    tqn::test::PrintLine(std::wstring(L"chosen path, dropElevation true:  ") +
          PathName(tqn::ChooseLaunchPath(false, true, os.flags, medium)));
    tqn::test::PrintLine(std::wstring(L"chosen path, as SYSTEM:           ") +
          PathName(tqn::ChooseLaunchPath(true, true, os.flags, medium)));

    tqn::SetTrayFile(L"tray_probe.exe");
    const std::wstring tray = tqn::ProgramFolder() + L"\\tray_probe.exe";
    Show(L"LaunchTrayProgram(\"/launch\", dropElevation true)",
         [] { tqn::LaunchTrayProgram(L"/launch", true); });
    Show(L"plain path, arguments \"/launch\"", [&] { tqn::StartProcessPlain(tray, L"/launch"); });
    Show(L"medium-integrity path, no arguments",
         [&] { tqn::StartProcessAtMediumIntegrity(tray, L""); });
    Show(L"console-session path, no arguments (ends in a blank)",
         [&] { tqn::StartProcessInConsoleSession(tray, L""); });
    Show(L"plain path, missing file",
         [&] { tqn::StartProcessPlain(tqn::ProgramFolder() + L"\\missing.exe", L"/launch"); });
    return 0;
}
