// Runs the script connector as the launcher does and reports what it saw.
//
//   script_probe <folder> <command>...
//     load <section>   ScriptConnector::Load(section, folder) on a fresh
//                      connector; prints "load=<result> mode=<mode> loads=<n>",
//                      n counting the loads of script.dll so far
//     get <name>       prints "get <name>=1:<value>" or "get <name>=0"
//     num <name>       prints "num <name>=1:<number>" or "num <name>=0"
//     block            prints "block=<mapped bytes>"
// Output is UTF-8; exit code 0, or 2 for bad usage.
#include <windows.h>

#include <memory>
#include <string>

#include "kit/testsupport/console_text.h"
#include "script/script_connector.h"
#include "script/script_data.h"
#include "trust/trusted_loader.h"

namespace {

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && _wcsicmp(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const std::wstring folder = argv[1];
    int scriptLoads = 0;
    tqn::SetBeforeLoadHookForTesting([&scriptLoads](const std::wstring& path) {
        if (EndsWith(path, L"\\script.dll")) ++scriptLoads;
    });

    auto connector = std::make_unique<tqn::ScriptConnector>();
    for (int i = 2; i < argc; ++i) {
        const std::wstring command = argv[i];
        if (command == L"block") {
            tqn::test::PrintLine(L"block=" + std::to_wstring(tqn::ScriptDataBytes().size()));
            continue;
        }
        if (i + 1 >= argc) return 2;
        const std::wstring argument = argv[++i];
        if (command == L"load") {
            connector = std::make_unique<tqn::ScriptConnector>();
            const int32_t result = connector->Load(argument, folder);
            tqn::test::PrintLine(L"load=" + std::to_wstring(result) + L" mode=" + std::to_wstring(connector->Mode()) +
                  L" loads=" + std::to_wstring(scriptLoads));
        } else if (command == L"get") {
            std::wstring value;
            const bool found = connector->GetString(argument, value);
            tqn::test::PrintLine(L"get " + argument + L"=" + (found ? L"1:" + value : L"0"));
        } else if (command == L"num") {
            uint32_t number = 0;
            const bool found = connector->GetNumber(argument, number);
            tqn::test::PrintLine(L"num " + argument + L"=" + (found ? L"1:" + std::to_wstring(number) : L"0"));
        } else {
            return 2;
        }
    }
    return 0;
}
