#include "kit/bench/start_beside.h"

#include <windows.h>

#include <vector>

#include "platform/module_path.h"
#include "platform/scoped_resource.h"

namespace tqn::kit {

bool StartBeside(const std::wstring& fileName, const std::wstring& arguments) {
    const std::wstring line = L"\"" + ProgramFolder() + L"\\" + fileName + L"\" " + arguments;
    std::vector<wchar_t> commandLine(line.c_str(), line.c_str() + line.size() + 1);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &child)) {
        return false;
    }
    ScopedHandle process(child.hProcess);
    ScopedHandle thread(child.hThread);
    return true;
}

}  // namespace tqn::kit
