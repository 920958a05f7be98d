// Installs the crash handler as start-up does (the path tool from the
// product folder: the global block's, else this program's) and faults.
//
//   crash_probe           prints "installed=<0|1>" and "dump=<dump path>",
//                         then writes through a null pointer
//   crash_probe capture   the same, but the dump file is not created: the
//                         security the filter hands over is printed as
//                         "security=<SDDL of owner and DACL>"
//                         and "label=<high or none>" (or
//                         "security=none") and nothing is written
//   crash_probe widen <key> <name> [<anything>]
//                         as capture, and registers the restore of widened
//                         keys as start-up does; points HKEY_CURRENT_USER at
//                         HKCU\<key>, widens <name> below it through the
//                         registry tool's unlock and faults while it is
//                         widened. Exit code 4 (no fault) when nothing was
//                         widened.
//   crash_probe race <key> <name> <rounds> <event>
//                         no crash: points HKEY_CURRENT_USER at HKCU\<key>,
//                         waits for the named event (30 s at most), then
//                         <rounds> times DeleteKey (not the subtree) and
//                         KeyExists on <name>, as the repair does with an
//                         override; exit code 0, or 1 when the last
//                         KeyExists was false.
// The handler ends the process with exit code 0.
#include <windows.h>
#include <sddl.h>

#include <string>

#include "assoc/registry_tool.h"
#include "diag/crash_handler.h"
#include "kit/testsupport/console_text.h"
#include "platform/scoped_resource.h"

namespace {

std::wstring SddlOf(const SECURITY_ATTRIBUTES* security) {
    if (security == nullptr || security->lpSecurityDescriptor == nullptr) return L"none";
    wchar_t* text = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(security->lpSecurityDescriptor, SDDL_REVISION_1,
                                                                OWNER_SECURITY_INFORMATION |
                                                                    DACL_SECURITY_INFORMATION,
                                                                &text, nullptr)) {
        return L"unreadable";
    }
    tqn::ScopedLocalMemory owner(text);
    return text;
}

// "high" when the descriptor carries a High mandatory label refusing reads
// and writes from below (Wine's SDDL text does not name label entries).
std::wstring LabelOf(const SECURITY_ATTRIBUTES* security) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL sacl = nullptr;
    if (security == nullptr || !::GetSecurityDescriptorSacl(security->lpSecurityDescriptor, &present, &sacl, &defaulted) ||
        !present || sacl == nullptr) {
        return L"none";
    }
    for (DWORD i = 0; i < sacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(sacl, i, &ace)) continue;
        auto* label = static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace);
        if (label->Header.AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE || (label->Mask & 3) != 3) continue;
        const PSID sid = &label->SidStart;
        if (*::GetSidSubAuthority(sid, *::GetSidSubAuthorityCount(sid) - 1) == SECURITY_MANDATORY_HIGH_RID) return L"high";
    }
    return L"none";
}

// Points HKEY_CURRENT_USER at HKCU\<key> for this process.
bool RedirectCurrentUser(const wchar_t* key) {
    tqn::ScopedKey base;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_ALL_ACCESS, base.Receive()) != ERROR_SUCCESS) return false;
    return ::RegOverridePredefKey(HKEY_CURRENT_USER, base.Get()) == ERROR_SUCCESS;
}

int Race(const wchar_t* key, const wchar_t* name, const wchar_t* event, int rounds) {
    tqn::ScopedHandle start(::OpenEventW(SYNCHRONIZE, FALSE, event));
    if (!start || !RedirectCurrentUser(key)) return 2;
    if (::WaitForSingleObject(start.Get(), 30000) != WAIT_OBJECT_0) return 2;
    bool exists = true;
    for (int i = 0; i < rounds; ++i) {
        tqn::DeleteKey(true, L"HCU", name, false);
        exists = tqn::KeyExists(true, L"HCU", name);
    }
    return exists ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"race") return argc > 5 ? Race(argv[2], argv[3], argv[5], _wtoi(argv[4])) : 2;
    const bool widen = mode == L"widen" && argc > 3;
    const bool capture = mode == L"capture" || widen;
    if (capture) {
        tqn::SetDumpFileCreatorForTesting([](const wchar_t*, const SECURITY_ATTRIBUTES* security) {
            tqn::test::PrintLine(L"security=" + SddlOf(security));
            tqn::test::PrintLine(L"label=" + LabelOf(security));
            return INVALID_HANDLE_VALUE;
        });
    }
    const bool installed = tqn::InstallCrashHandler();
    tqn::test::PrintLine(std::wstring(L"installed=") + (installed ? L"1" : L"0"));
    tqn::test::PrintLine(L"dump=" + tqn::CrashDumpPath());
    tqn::SecurityRestoreList saved;
    if (widen) {
        tqn::AddCrashCleanup(tqn::RestoreEverySavedKeySecurity);
        if (!RedirectCurrentUser(argv[2]) ||
            !tqn::UnlockKeyPath(true, L"HCU", argv[3], saved, KEY_ALL_ACCESS, tqn::kAllTrustees) || saved.empty()) {
            return 4;
        }
    }
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 3;
}
