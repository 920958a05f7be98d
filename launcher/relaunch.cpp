#include "launcher/relaunch.h"

#include <windows.h>
#include <shellapi.h>

#include "launcher/dispatch.h"
#include "platform/module_path.h"
#include "platform/scoped_resource.h"
#include "strings/skin_string_table.h"

namespace tqn {

namespace {

using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
constexpr UINT kPromptStyle = MB_YESNO | MB_ICONINFORMATION | MB_SYSTEMMODAL;

RunasCall& RunasSeam() {
    static RunasCall call;
    return call;
}

// The explanation in the skin's language; the identifiers themselves when the
// string module cannot supply the texts. Yes tries once more.
bool UserWantsAnotherTry() {
    std::wstring message, caption;
    {
        SkinStringTable table;
        table.GetString(L"IDS_MSG_UAC_CHECK", message);
        table.GetString(L"IDS_PRODUCT_NAME", caption);
    }
    return ::MessageBoxW(::GetDesktopWindow(), message.c_str(), caption.c_str(), kPromptStyle) == IDYES;
}

}  // namespace

void SetRunasForTesting(RunasCall call) { RunasSeam() = std::move(call); }

bool RelaunchElevated(const std::wstring& parameters, bool askAgain) {
    const std::wstring program = ModuleFileName(nullptr);
    long long result = 0;
    {
        ScopedLibrary shell(::LoadLibraryW(L"Shell32.dll"));
        if (!shell) return false;
        const auto shellExecute = reinterpret_cast<ShellExecuteFn>(
            reinterpret_cast<void*>(::GetProcAddress(shell.Get(), "ShellExecuteW")));
        if (shellExecute == nullptr) return false;
        result = RunasSeam() ? RunasSeam()(program, parameters)
                             : reinterpret_cast<INT_PTR>(shellExecute(nullptr, L"runas", program.c_str(),
                                                                      parameters.c_str(), nullptr, SW_SHOW));
    }
    switch (AfterRunas(result, askAgain)) {
        case ElevationOutcome::Stop:
            return false;
        case ElevationOutcome::EndNormally:
            return true;
        case ElevationOutcome::AskUser:
            break;
    }
    return UserWantsAnotherTry() ? RelaunchElevated(parameters, false) : false;
}

}  // namespace tqn
