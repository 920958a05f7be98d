#include "launcher/process_launch.h"

#include <windows.h>

#include <vector>

#include "diag/trace.h"
#include "launcher/file_information.h"
#include "launcher/launch_decisions.h"
#include "platform/process_settings.h"
#include "platform/token_query.h"
#include "platform/os_info.h"
#include "platform/scoped_resource.h"

namespace tqn {

namespace {

constexpr DWORD kStartupInfoSize = 104;

STARTUPINFOW ZeroedStartupInfo() {
    STARTUPINFOW startup{};
    startup.cb = kStartupInfoSize;
    return startup;
}

// CreateProcess* may write into the command line, so it gets its own buffer.
std::vector<wchar_t> MutableCommandLine(const std::wstring& line) {
    return std::vector<wchar_t>(line.c_str(), line.c_str() + line.size() + 1);
}

// Closes what CreateProcess* returned: the launcher never waits for a child.
void ForgetChild(PROCESS_INFORMATION& child) {
    ScopedHandle process(child.hProcess);
    ScopedHandle thread(child.hThread);
}

std::wstring AccountName() {
    wchar_t name[512] = {};
    DWORD size = 512;
    if (!::GetUserNameW(name, &size)) return {};
    return name;
}

// Enables a privilege on a token for as long as it lives, then puts the
// previous state back, whichever way the caller leaves.
class EnabledPrivilege {
public:
    EnabledPrivilege(HANDLE token, const wchar_t* name) : token_(token) {
        TOKEN_PRIVILEGES wanted{};
        wanted.PrivilegeCount = 1;
        wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (!::LookupPrivilegeValueW(nullptr, name, &wanted.Privileges[0].Luid)) return;
        DWORD previousSize = sizeof(previous_);
        // A privilege that is not assigned does not count as a failure here.
        adjusted_ = ::AdjustTokenPrivileges(token_, FALSE, &wanted, sizeof(previous_), &previous_,
                                            &previousSize) != FALSE;
    }
    ~EnabledPrivilege() {
        if (adjusted_) {
            const DWORD lastError = ::GetLastError();
            ::AdjustTokenPrivileges(token_, FALSE, &previous_, 0, nullptr, nullptr);
            ::SetLastError(lastError);
        }
    }
    EnabledPrivilege(const EnabledPrivilege&) = delete;
    EnabledPrivilege& operator=(const EnabledPrivilege&) = delete;
    bool Adjusted() const { return adjusted_; }

private:
    HANDLE token_;
    TOKEN_PRIVILEGES previous_{};  // one privilege: 16 bytes
    bool adjusted_ = false;
};

using WtsGetActiveConsoleSessionIdFn = DWORD(WINAPI*)();
using WtsQueryUserTokenFn = BOOL(WINAPI*)(ULONG, PHANDLE);
using CreateEnvironmentBlockFn = BOOL(WINAPI*)(LPVOID*, HANDLE, BOOL);
using DestroyEnvironmentBlockFn = BOOL(WINAPI*)(LPVOID);

template <typename Fn>
Fn ResolveExport(HMODULE module, const char* name) {
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// An environment block made by CreateEnvironmentBlock, destroyed by its pair.
class EnvironmentBlock {
public:
    explicit EnvironmentBlock(DestroyEnvironmentBlockFn destroy) : destroy_(destroy) {}
    ~EnvironmentBlock() {
        if (block_ != nullptr) destroy_(block_);
    }
    EnvironmentBlock(const EnvironmentBlock&) = delete;
    EnvironmentBlock& operator=(const EnvironmentBlock&) = delete;
    LPVOID* Receive() { return &block_; }
    LPVOID Get() const { return block_; }

private:
    DestroyEnvironmentBlockFn destroy_;
    LPVOID block_ = nullptr;
};

}  // namespace

std::wstring SettingFilePath(const wchar_t* setting, const std::wstring& fileName) {
    std::wstring path = ProgramFolderFile(ProgramFolder(), fileName);
    if (path.empty() && !fileName.empty()) TraceEvent(TraceTag::SettingFileRefused, setting);
    return path;
}

void LaunchTrayProgram(const std::wstring& arguments, bool dropElevation) {
    const std::wstring trayPath = SettingFilePath(L"TRAY_FILE", TrayFile());
    if (trayPath.empty()) return;
    const bool isSystem = IsSystemAccountName(AccountName());
    OsFlags flags;
    bool mediumIntegrity = false;
    if (!isSystem && dropElevation) {
        EnsureOsInfo();
        flags = OsInfo().flags;
        if (VersionNeedsIntegrityTest(flags)) mediumIntegrity = IsMediumIntegrity();
    }
    const LaunchPath path = ChooseLaunchPath(isSystem, dropElevation, flags, mediumIntegrity);
    // Under a token that cannot be lowered (or told apart), the trace line is
    // the only place that says which way the tray program went.
    TraceEvent(TraceTag::TrayLaunchPath, LaunchPathName(path), dropElevation ? 1 : 0);
    switch (path) {
        case LaunchPath::ConsoleSession:
            StartProcessInConsoleSession(trayPath, arguments);
            break;
        case LaunchPath::Plain:
            StartProcessPlain(trayPath, arguments);
            break;
        case LaunchPath::MediumIntegrity:
            StartProcessAtMediumIntegrity(trayPath, arguments);
            break;
    }
}

bool IsMediumIntegrity() {
    ScopedHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_QUERY_SOURCE,
                            token.Receive())) {
        return false;
    }
    uint32_t rid = 0;
    return QueryIntegrityRid(token.Get(), rid) && IsMediumIntegrityRid(rid);
}

void StartProcessPlain(const std::wstring& path, const std::wstring& arguments) {
    FileInformationExW fileInformation;
    bool isDirectory = false;
    if (!fileInformation.FileExists(path, &isDirectory) || isDirectory) return;

    auto commandLine = MutableCommandLine(BuildPlainCommandLine(path, arguments));
    STARTUPINFOW startup = ZeroedStartupInfo();
    PROCESS_INFORMATION child{};
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &child)) {
        ForgetChild(child);
    }
}

void StartProcessAtMediumIntegrity(const std::wstring& path, const std::wstring& arguments) {
    auto commandLine = MutableCommandLine(BuildQuotedCommandLine(path, arguments));

    ScopedHandle processToken;
    if (!::OpenProcessToken(::GetCurrentProcess(), MAXIMUM_ALLOWED, processToken.Receive())) return;
    ScopedHandle mediumToken;
    if (!::DuplicateTokenEx(processToken.Get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation,
                            TokenPrimary, mediumToken.Receive())) {
        return;
    }
    SID_IDENTIFIER_AUTHORITY labelAuthority = SECURITY_MANDATORY_LABEL_AUTHORITY;
    ScopedSid mediumSid;
    if (!::AllocateAndInitializeSid(&labelAuthority, 1, SECURITY_MANDATORY_MEDIUM_RID, 0, 0, 0, 0,
                                    0, 0, 0, mediumSid.Receive())) {
        return;
    }
    TOKEN_MANDATORY_LABEL label{};
    label.Label.Attributes = SE_GROUP_INTEGRITY;
    label.Label.Sid = mediumSid.Get();
    if (!::SetTokenInformation(mediumToken.Get(), TokenIntegrityLevel, &label, sizeof(label))) {
        return;
    }
    STARTUPINFOW startup = ZeroedStartupInfo();
    startup.dwX = kMediumIntegrityStartMarker;
    PROCESS_INFORMATION child{};
    if (::CreateProcessAsUserW(mediumToken.Get(), nullptr, commandLine.data(), nullptr, nullptr,
                               FALSE, 0, nullptr, nullptr, &startup, &child)) {
        ForgetChild(child);
    }
}

bool StartProcessInConsoleSession(const std::wstring& path, const std::wstring& arguments) {
    auto commandLine = MutableCommandLine(BuildConsoleSessionCommandLine(path, arguments));

    ScopedHandle processToken;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                            processToken.Receive())) {
        return false;
    }
    EnabledPrivilege tcb(processToken.Get(), L"SeTcbPrivilege");
    if (!tcb.Adjusted()) return false;

    ScopedLibrary kernel(::LoadLibraryW(L"Kernel32.dll"));
    auto getConsoleSession =
        ResolveExport<WtsGetActiveConsoleSessionIdFn>(kernel.Get(), "WTSGetActiveConsoleSessionId");
    if (getConsoleSession == nullptr) return false;
    const DWORD sessionId = getConsoleSession();

    ScopedLibrary wtsapi(::LoadLibraryW(L"Wtsapi32.dll"));
    auto queryUserToken = ResolveExport<WtsQueryUserTokenFn>(wtsapi.Get(), "WTSQueryUserToken");
    if (queryUserToken == nullptr) return false;
    ScopedHandle userToken;
    if (!queryUserToken(sessionId, userToken.Receive())) return false;

    ScopedHandle primaryToken;
    if (!::DuplicateTokenEx(userToken.Get(), MAXIMUM_ALLOWED, nullptr, SecurityIdentification,
                            TokenPrimary, primaryToken.Receive())) {
        return false;
    }

    STARTUPINFOW startup = ZeroedStartupInfo();
    wchar_t desktop[] = L"winsta0\\default";
    startup.lpDesktop = desktop;

    ScopedLibrary userenv(::LoadLibraryW(L"Userenv.dll"));
    auto createEnvironment =
        ResolveExport<CreateEnvironmentBlockFn>(userenv.Get(), "CreateEnvironmentBlock");
    auto destroyEnvironment =
        ResolveExport<DestroyEnvironmentBlockFn>(userenv.Get(), "DestroyEnvironmentBlock");
    if (createEnvironment == nullptr || destroyEnvironment == nullptr) return false;
    EnvironmentBlock environment(destroyEnvironment);
    if (!createEnvironment(environment.Receive(), primaryToken.Get(), TRUE)) return false;

    PROCESS_INFORMATION child{};
    if (!::CreateProcessAsUserW(primaryToken.Get(), nullptr, commandLine.data(), nullptr, nullptr,
                                FALSE, CREATE_UNICODE_ENVIRONMENT, environment.Get(), nullptr,
                                &startup, &child)) {
        return false;
    }
    ForgetChild(child);
    return true;
}

}  // namespace tqn
