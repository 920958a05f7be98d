#include "diag/trace_settings.h"

#include <windows.h>

#include "crypt/string_crypt_tool.h"
#include "diag/trace.h"
#include "environment/global_data.h"
#include "environment/path_tool.h"
#include "platform/module_path.h"
#include "script/script_connector.h"

namespace tqn {

namespace {

constexpr size_t kSlotCharacters = 511;

bool NameSameFile(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || b.empty()) return false;
    const std::wstring fullA = FullPathName(a), fullB = FullPathName(b);
    return SamePathText(fullA.empty() ? a : fullA, fullB.empty() ? b : fullB);
}

std::wstring PathToolTraceFile(bool makeFolder) {
    const std::wstring folder = ProductLogFolder(makeFolder);
    std::wstring name;
    if (folder.empty() || !GetFileNameVariable(L"TRACE_FILE_NAME", name)) return std::wstring();
    return folder + L"\\" + name;
}

TracePathChoice ChooseProductTracePath(bool makeFolder) {
    const std::wstring slotPath = ReadEncryptedSharedField(GlobalSharedBlock(), kTracePathField);
    const std::wstring toolPath = PathToolTraceFile(makeFolder);
    return ChooseTracePath(slotPath, toolPath, NameSameFile(slotPath, toolPath));
}

}  // namespace

TracePathChoice InspectTraceFilePath() { return ChooseProductTracePath(false); }

uint32_t ReadConfiguredTraceMethod() {
    ScriptConnector connector;
    connector.Load(L"Environment", std::wstring());
    uint32_t method = 0;
    connector.GetNumber(L"EXCEPTION_REPORT_METHOD", method);
    return method;
}

std::wstring ResolveTraceFilePath() {
    const TracePathChoice choice = ChooseProductTracePath(true);
    if (choice.writeSlot) {
        std::wstring hex;
        if (StringCryptToolW().EncryptToHex(choice.path, hex)) {
            // Cut to the slot: a cut form does not decrypt, so the other
            // processes then find the file through the path tool themselves.
            WriteSharedField(GlobalSharedBlock(), kTracePathField, hex.substr(0, kSlotCharacters));
        }
    }
    return choice.path;
}

void ConnectTraceToProduct() {
    SetTraceSources({ReadConfiguredTraceMethod, ResolveTraceFilePath});
}

}  // namespace tqn
