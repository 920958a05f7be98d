// The verification floor: the three modules that the launcher's usual road
// must trust, each verified once (signature, then the signer's name), then
// the tray program started with "/launch". Exit code 0 when all three passed
// and the tray program was started; 1 otherwise.
#include <windows.h>

#include "kit/bench/start_beside.h"
#include "platform/module_path.h"
#include "trust/load_order.h"
#include "trust/trusted_loader.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring folder = tqn::ProgramFolder();
    for (const wchar_t* module : {L"ptl.tqm", L"config.tqm", L"script.dll"}) {
        const std::wstring path = folder + L"\\" + module;
        if (FAILED(tqn::VerifyFileTrust(path)) || tqn::CompareSignerName(path, tqn::kFirstAcceptedSigner) != 0) return 1;
    }
    return tqn::kit::StartBeside(L"tray_probe.exe", L"/launch") ? 0 : 1;
}
