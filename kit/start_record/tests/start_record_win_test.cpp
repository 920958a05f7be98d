// Recording under Wine: in this process, and by the two stand-in programs
// started as separate processes with their own variables.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "crypt/utf8_codec.h"
#include "kit/start_record/start_record.h"
#include "kit/testsupport/scratch_folder.h"
#include "launcher/elevation.h"
#include "platform/token_query.h"
#include "platform/module_path.h"
#include "platform/scoped_resource.h"

namespace {

using tqn::test::ScratchFolder;

constexpr wchar_t kVariable[] = L"TQN_START_RECORD_TEST";

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadWhole(const std::wstring& path) {
    tqn::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             0, nullptr));
    std::string content;
    if (!file) return "<unreadable>";
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(file.Get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) content.append(chunk, read);
    return content;
}

void WriteWhole(const std::wstring& path, const std::string& content) {
    tqn::ScopedFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
}

// Sets a variable for the scope; child processes inherit it.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) {
        ::SetEnvironmentVariableW(name_, value);
    }
    ~ScopedVariable() { ::SetEnvironmentVariableW(name_, nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const wchar_t* name_;
};

uint32_t OwnIntegrityRid() {
    tqn::ScopedHandle token;
    uint32_t rid = 0;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) {
        tqn::QueryIntegrityRid(token.Get(), rid);
    }
    return rid;
}

std::string Utf8(const std::wstring& text) { return tqn::EncodeUtf8(text.data(), text.size()); }

// The desktop this process was started on ("" when none was named).
std::wstring OwnDesktop() {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ::GetStartupInfoW(&startup);
    return startup.lpDesktop != nullptr ? startup.lpDesktop : L"";
}

// What this process's record must hold, from the token and start-up information read here.
std::string ExpectedOwnRecord() {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ::GetStartupInfoW(&startup);
    return "command_line=" + Utf8(::GetCommandLineW()) + "\nintegrity_rid=" + std::to_string(OwnIntegrityRid()) +
           "\nadministrator=" + (tqn::IsAdministrator() ? "1" : "0") + "\ndesktop=" + Utf8(OwnDesktop()) +
           "\nstart_x=" + std::to_string(startup.dwX) + "\n";
}

// Starts a program of the build's bin folder and waits for its exit code.
DWORD RunProgram(const std::wstring& program, const std::wstring& arguments) {
    const std::wstring path = tqn::ProgramFolder() + L"\\" + program;
    std::wstring line = L"\"" + path + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &started)) {
        ADD_FAILURE() << "CreateProcessW " << ::GetLastError();
        return 0xFFFFFFFF;
    }
    tqn::ScopedHandle process(started.hProcess);
    tqn::ScopedHandle thread(started.hThread);
    if (::WaitForSingleObject(process.Get(), 30000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the program did not end";
        ::TerminateProcess(process.Get(), 99);
        return 0xFFFFFFFF;
    }
    DWORD code = 0xFFFFFFFF;
    ::GetExitCodeProcess(process.Get(), &code);
    return code;
}

TEST(RecordHowStarted, WithoutTheVariableWritesNothing) {
    ::SetEnvironmentVariableW(kVariable, nullptr);
    EXPECT_EQ(tqn::kit::RecordHowStarted(kVariable), tqn::kit::kNoRecordVariable);
    ScopedVariable empty(kVariable, L"");
    EXPECT_EQ(tqn::kit::RecordHowStarted(kVariable), tqn::kit::kNoRecordVariable);
}

TEST(RecordHowStarted, WritesThisProcessFacts) {
    ScratchFolder folder(L"tqn start record");
    const std::wstring record = folder.Path() + L"\\record.txt";
    ScopedVariable variable(kVariable, record.c_str());
    ASSERT_EQ(tqn::kit::RecordHowStarted(kVariable), tqn::kit::kRecordWritten);
    EXPECT_EQ(ReadWhole(record), ExpectedOwnRecord());
    EXPECT_FALSE(Exists(record + L".partial"));
}

TEST(ReplaceWithContent, AFailedRenameKeepsTheOldFileAndRemovesThePartOne) {
    ScratchFolder folder;
    const std::wstring record = folder.Path() + L"\\record.txt";
    WriteWhole(record, "old");
    // Open without delete sharing: the rename over it cannot happen.
    tqn::ScopedFileHandle holder(::CreateFileW(record.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                               0, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_FALSE(tqn::kit::ReplaceWithContent(record, "new"));
    holder.Reset();
    EXPECT_EQ(ReadWhole(record), "old");
    EXPECT_FALSE(Exists(record + L".partial"));
}

// Each stand-in answers to its own variable only.
TEST(StandInPrograms, EachRecordsItsCommandLineUnderItsOwnVariable) {
    const struct {
        const wchar_t* program;
        const wchar_t* ownVariable;
        const wchar_t* otherVariable;
    } cases[] = {
        {L"tray_probe.exe", L"TQN_TRAY_RECORD", L"TQN_UNINSTALL_RECORD"},
        {L"uninstall_probe.exe", L"TQN_UNINSTALL_RECORD", L"TQN_TRAY_RECORD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(tqn::EncodeUtf8(c.program, wcslen(c.program)));
        ScratchFolder folder(L"tqn stand in");
        const std::wstring ownRecord = folder.Path() + L"\\own.txt";
        const std::wstring otherRecord = folder.Path() + L"\\other.txt";
        ::SetEnvironmentVariableW(c.ownVariable, nullptr);
        {
            ScopedVariable other(c.otherVariable, otherRecord.c_str());
            EXPECT_EQ(RunProgram(c.program, L"/uninstall"), static_cast<DWORD>(tqn::kit::kNoRecordVariable));
            EXPECT_FALSE(Exists(otherRecord));
        }
        ScopedVariable own(c.ownVariable, ownRecord.c_str());
        ASSERT_EQ(RunProgram(c.program, L"/launch \xD0C0"), static_cast<DWORD>(tqn::kit::kRecordWritten));
        // A child started plainly runs with a copy of this token, on this
        // desktop, with no x position.
        const std::wstring path = tqn::ProgramFolder() + L"\\" + c.program;
        const std::wstring line = L"\"" + path + L"\" /launch \xD0C0";
        EXPECT_EQ(ReadWhole(ownRecord), "command_line=" + Utf8(line) + "\nintegrity_rid=" +
                                            std::to_string(OwnIntegrityRid()) + "\nadministrator=" +
                                            (tqn::IsAdministrator() ? "1" : "0") + "\ndesktop=" + Utf8(OwnDesktop()) +
                                            "\nstart_x=0\n");
        EXPECT_FALSE(Exists(ownRecord + L".partial"));
    }
}

}  // namespace
