// The bare starter: starts the product's tray program with "/launch" and
// ends; exit code 0 when it was started, 1 when not.
#include <windows.h>

#include "kit/bench/start_beside.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return tqn::kit::StartBeside(L"tray_probe.exe", L"/launch") ? 0 : 1;
}
