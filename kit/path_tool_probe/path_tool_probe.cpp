// Starts the path tool the way the launcher does (no folder given: the
// product folder from the global block, else this program's folder) and
// reports where the module came from and what it answers.
//
//   path_tool_probe     prints "init=<result>", "module=<path of ptl.tqm>",
//                       "log=<COMMON_APPDATA, LOG_FOLDER folder>"
// Exit code 0 when Initialize succeeded, 1 otherwise.
#include <windows.h>

#include <string>

#include "kit/testsupport/console_text.h"
#include "environment/path_tool.h"

namespace {

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    if (module == nullptr || ::GetModuleFileNameW(module, path, MAX_PATH) == 0) return std::wstring();
    return path;
}

}  // namespace

int wmain() {
    const int32_t result = tqn::InitializePathTool(0, std::wstring());
    tqn::test::PrintLine(L"init=" + std::to_wstring(result));
    tqn::test::PrintLine(L"module=" + ModulePath(::GetModuleHandleW(tqn::ptl::kModuleName)));
    std::wstring log;
    tqn::GetFolderPathVariable(L"COMMON_APPDATA", L"LOG_FOLDER", log);
    tqn::test::PrintLine(L"log=" + log);
    tqn::ReleasePathTool();
    return result != 0 ? 0 : 1;
}
