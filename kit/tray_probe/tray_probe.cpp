// Stand-in for the product's tray program in tests: records how it was
// started (its command line, its token's integrity level, whether it is an
// administrator) in the file named by TQN_TRAY_RECORD, then exits.
#include <windows.h>

#include <string>

#include "crypt/format.h"
#include "launcher/elevation.h"
#include "launcher/token_query.h"
#include "platform/scoped_resource.h"

namespace {

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(),
                              size, nullptr, nullptr);
    }
    return bytes;
}

uint32_t OwnIntegrityRid() {
    tqn::ScopedHandle token;
    uint32_t rid = 0;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) {
        tqn::QueryIntegrityRid(token.Get(), rid);
    }
    return rid;
}

// Written beside the target and renamed over it, so a reader never sees half a record.
bool WriteRecord(const std::wstring& path, const std::string& content) {
    const std::wstring partial = path + L".partial";
    {
        tqn::ScopedFileHandle file(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr,
                                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        DWORD written = 0;
        if (!::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written,
                         nullptr) ||
            written != content.size()) {
            return false;
        }
    }
    return ::MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t recordPath[1024] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"TQN_TRAY_RECORD", recordPath, 1024);
    if (length == 0 || length >= 1024) return 2;

    std::wstring record;
    tqn::AppendFormat(record, L"command_line=%ls\n", ::GetCommandLineW());
    tqn::AppendFormat(record, L"integrity_rid=%u\n", static_cast<unsigned>(OwnIntegrityRid()));
    tqn::AppendFormat(record, L"administrator=%d\n", tqn::IsAdministrator() ? 1 : 0);
    return WriteRecord(recordPath, ToUtf8(record)) ? 0 : 1;
}
