#include "diag/crash_handler.h"

#include <dbghelp.h>
#include <sddl.h>

#include <array>
#include <atomic>

#include "diag/dump_rules.h"
#include "diag/log_file.h"
#include "diag/log_folder.h"
#include "environment/path_tool.h"
#include "platform/file_attributes.h"
#include "platform/module_path.h"
#include "platform/scoped_resource.h"
#include "platform/token_query.h"

namespace tqn {

namespace {

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

// Everything the filter needs is made at installation: a crashed process
// should allocate as little as it can.
struct CrashState {
    std::wstring dumpPath;
    std::wstring openPath;         // the dump path as opened ("\\?\" when long)
    std::wstring folderReference;  // the log folder, as the dump's final path must show it
    std::wstring finalPathScratch;
    ScopedLocalMemory descriptor;
    SECURITY_ATTRIBUTES attributes{};
    bool secured = false;
    DumpFileCreator creator;
};

CrashState& State() {
    static CrashState state;
    return state;
}

// A fixed table: adding and running allocate nothing.
std::array<std::atomic<CrashCleanup>, kMaxCrashCleanups> g_cleanups{};
std::atomic<size_t> g_cleanupCount{0};

void RunCrashCleanups() {
    const size_t count = g_cleanupCount.load();
    for (size_t i = 0; i < count && i < kMaxCrashCleanups; ++i) {
        if (const CrashCleanup cleanup = g_cleanups[i].load()) cleanup();
    }
}

// High integrity or above: an elevated administrator, or SYSTEM.
bool RunsElevated() {
    ScopedHandle token;
    uint32_t rid = 0;
    return ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive()) &&
           QueryIntegrityRid(token.Get(), rid) && rid >= SECURITY_MANDATORY_HIGH_RID;
}

void BuildDumpSecurity(CrashState& state) {
    state.secured = false;
    const std::wstring sid = ProcessUserSidText();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (sid.empty() || !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                           DumpFileSddl(sid, RunsElevated()).c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        return;
    }
    state.descriptor.Reset(descriptor);
    state.attributes = {sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
    state.secured = true;
}

}  // namespace

bool InstallCrashHandler() {
    const std::wstring path = ModuleFileName(nullptr);
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) return false;

    const std::wstring logFolder = ProductLogFolder(true);
    ReleasePathTool();

    CrashState& state = State();
    state.dumpPath = DumpPathFor(logFolder, path.substr(slash + 1));
    const std::wstring fullDumpPath = FullPathName(state.dumpPath);
    state.openPath = PathForAttributeQuery(fullDumpPath.empty() ? state.dumpPath : fullDumpPath);
    state.folderReference = LogFolderReference(FolderOfPath(state.dumpPath));
    state.finalPathScratch.assign(kFinalPathCapacity, L'\0');
    BuildDumpSecurity(state);
    ::SetUnhandledExceptionFilter(WriteCrashDump);
    ::SetErrorMode(SEM_FAILCRITICALERRORS);
    return true;
}

const std::wstring& CrashDumpPath() { return State().dumpPath; }

const SECURITY_ATTRIBUTES* CrashDumpSecurity() { return State().secured ? &State().attributes : nullptr; }

void SetDumpFileCreatorForTesting(DumpFileCreator creator) { State().creator = std::move(creator); }

bool AddCrashCleanup(CrashCleanup cleanup) {
    if (cleanup == nullptr) return false;
    const size_t slot = g_cleanupCount.fetch_add(1);
    if (slot >= kMaxCrashCleanups) {
        g_cleanupCount.store(kMaxCrashCleanups);
        return false;
    }
    g_cleanups[slot].store(cleanup);
    return true;
}

LONG WINAPI WriteCrashDump(EXCEPTION_POINTERS* exception) {
    RunCrashCleanups();
    CrashState& state = State();
    ScopedLibrary dbghelp(::LoadLibraryW(L"DBGHELP.DLL"));
    const auto writeDump = dbghelp ? reinterpret_cast<MiniDumpWriteDumpFn>(reinterpret_cast<void*>(
                                         ::GetProcAddress(dbghelp.Get(), "MiniDumpWriteDump")))
                                   : nullptr;
    if (writeDump == nullptr) return EXCEPTION_EXECUTE_HANDLER;

    const SECURITY_ATTRIBUTES* security = CrashDumpSecurity();
    // A stale dump is deleted, never written through: a link (or a file
    // someone keeps open) in its place means no dump. The new file is always
    // made here, so it carries the owner-only descriptor.
    if (security != nullptr && !state.dumpPath.empty() && DeleteLogFile(state.openPath, state.folderReference, state.finalPathScratch)) {
        ScopedFileHandle file;
        if (state.creator) {
            file.Reset(state.creator(state.openPath.c_str(), security));
            if (file && JudgeLogFileHandle(file.Get(), state.folderReference, state.finalPathScratch) !=
                            LogFileVerdict::Usable) {
                file.Reset();
            }
        } else {
            file = CreateNewLogFile(state.openPath, GENERIC_WRITE, 0, security, state.folderReference,
                                    state.finalPathScratch);
        }
        MINIDUMP_EXCEPTION_INFORMATION information{::GetCurrentThreadId(), exception, FALSE};
        if (file) {
            writeDump(::GetCurrentProcess(), ::GetCurrentProcessId(), file.Get(), MiniDumpWithFullMemory,
                      exception != nullptr ? &information : nullptr, nullptr, nullptr);
        }
    }
    dbghelp.Reset();
    ::TerminateProcess(::GetCurrentProcess(), 0);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace tqn
