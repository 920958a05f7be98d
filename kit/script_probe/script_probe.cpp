// Runs the script connector as the launcher does and reports what it saw.
//
//   script_probe <folder> <command>...
//     load <section>   ScriptConnector::Load(section, folder) on a fresh
//                      connector; prints "load=<result> mode=<mode> loads=<n>",
//                      n counting the loads of script.dll so far
//     get <name>       prints "get <name>=1:<value>" or "get <name>=0"
//     num <name>       prints "num <name>=1:<number>" or "num <name>=0"
//     block            prints "block=<mapped bytes>"
//     vanish           from now on the loaded engine's UnInitialize_All runs
//                      between the block's size check and its view (the
//                      engine lets its block go there)
//     squat            makes a block with other values under this process's
//                      block name, as another program of the session could
//     signal <event>   sets the named event
//     wait <event>     waits (30 s at most) for the named event
// Output is UTF-8; exit code 0, or 2 for bad usage.
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "kit/testsupport/console_text.h"
#include "platform/scoped_resource.h"
#include "script/script_block_reader.h"
#include "script/script_connector.h"
#include "script/script_data.h"
#include "script/script_exports.h"
#include "script/tests/block_builder.h"
#include "trust/trusted_loader.h"

namespace {

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && _wcsicmp(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

void LetTheEngineDropItsBlock() {
    const HMODULE engine = ::GetModuleHandleW(tqn::script::kModuleName);
    if (engine == nullptr) return;
    const auto unInitialize = reinterpret_cast<tqn::script::NoArgFn>(
        reinterpret_cast<void*>(::GetProcAddress(engine, "UnInitialize_All")));
    if (unInitialize != nullptr) unInitialize();
}

// A block under this process's name with values nobody's script set.
tqn::ScopedHandle Squat() {
    using namespace tqn::test;
    const auto bytes = BuildBlock({{tqn::HashName(L"CommonData"), {Entry(L"EXT_NAME", L"evil")}}});
    tqn::ScopedHandle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                   static_cast<DWORD>(bytes.size()),
                                                   tqn::ScriptDataBlockName().c_str()));
    tqn::ScopedView view(mapping ? ::MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, bytes.size()) : nullptr);
    if (view) std::memcpy(view.Get(), bytes.data(), bytes.size());
    return mapping;
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
    tqn::ScopedHandle squatted;
    for (int i = 2; i < argc; ++i) {
        const std::wstring command = argv[i];
        if (command == L"block") {
            tqn::test::PrintLine(L"block=" + std::to_wstring(tqn::ScriptDataBytes().size()));
            continue;
        }
        if (command == L"vanish") {
            tqn::SetScriptDataSizeCheckedHookForTesting(LetTheEngineDropItsBlock);
            continue;
        }
        if (command == L"squat") {
            squatted = Squat();
            if (!squatted) tqn::test::PrintLine(L"squat failed");
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
        } else if (command == L"signal" || command == L"wait") {
            tqn::ScopedHandle event(::OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, argument.c_str()));
            const bool done =
                event && (command == L"signal" ? ::SetEvent(event.Get()) != 0
                                               : ::WaitForSingleObject(event.Get(), 30000) == WAIT_OBJECT_0);
            if (!done) tqn::test::PrintLine(command + L" " + argument + L" failed");
        } else {
            return 2;
        }
    }
    return 0;
}
