// Stand-in for the product's uninstaller: records how it was started in the
// file named by TQN_UNINSTALL_RECORD, then exits.
#include <windows.h>

#include "kit/start_record/start_record.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return tqn::kit::RecordHowStarted(L"TQN_UNINSTALL_RECORD");
}
