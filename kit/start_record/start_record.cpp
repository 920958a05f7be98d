#include "kit/start_record/start_record.h"

#include <windows.h>

#include "launcher/elevation.h"
#include "platform/token_query.h"
#include "platform/scoped_resource.h"

namespace tqn::kit {

namespace {

// Size, then fill: a record path has no length limit of its own.
bool ReadEnvironmentVariable(const wchar_t* name, std::wstring& value) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size <= 1) return false;
    std::wstring text(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(name, text.data(), size);
    if (length == 0 || length >= size) return false;
    text.resize(length);
    value = std::move(text);
    return true;
}

uint32_t OwnIntegrityRid() {
    ScopedHandle token;
    uint32_t rid = 0;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) {
        QueryIntegrityRid(token.Get(), rid);
    }
    return rid;
}

std::wstring TextOrEmpty(const wchar_t* text) { return text != nullptr ? text : L""; }

}  // namespace

bool ReplaceWithContent(const std::wstring& path, const std::string& content) {
    const std::wstring partial = path + L".partial";
    bool written = false;
    {
        ScopedFileHandle file(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        DWORD count = 0;
        written = ::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &count,
                              nullptr) &&
                  count == content.size();
    }
    if (written && ::MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    ::DeleteFileW(partial.c_str());
    return false;
}

int RecordHowStarted(const wchar_t* envVariable) {
    std::wstring recordPath;
    if (!ReadEnvironmentVariable(envVariable, recordPath)) return kNoRecordVariable;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ::GetStartupInfoW(&startup);
    const StartFacts facts{::GetCommandLineW(), OwnIntegrityRid(), IsAdministrator(),
                           TextOrEmpty(startup.lpDesktop), startup.dwX};
    return ReplaceWithContent(recordPath, FormatStartRecord(facts)) ? kRecordWritten : kRecordNotWritten;
}

}  // namespace tqn::kit
