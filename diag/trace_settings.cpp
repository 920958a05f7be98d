#include "diag/trace_settings.h"

#include <windows.h>

#include "crypt/string_crypt_tool.h"
#include "diag/trace.h"
#include "environment/global_data.h"
#include "environment/path_tool.h"
#include "script/script_connector.h"

namespace tqn {

namespace {

constexpr size_t kSlotCharacters = 511;

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[1024] = {};
    const DWORD length = ::GetFullPathNameW(path.c_str(), 1024, full, nullptr);
    return length > 0 && length < 1024 ? std::wstring(full, length) : path;
}

bool NameSameFile(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || b.empty()) return false;
    const std::wstring fullA = FullPath(a), fullB = FullPath(b);
    return ::CompareStringOrdinal(fullA.c_str(), static_cast<int>(fullA.size()), fullB.c_str(),
                                  static_cast<int>(fullB.size()), TRUE) == CSTR_EQUAL;
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

std::wstring ProductLogFolder(bool makeFolder) {
    RebindPathTool();
    InitializePathTool(0, std::wstring());
    std::wstring folder;
    GetFolderPathVariable(L"COMMON_APPDATA", L"LOG_FOLDER", folder,
                          makeFolder ? FolderLookup::MakeFolder : FolderLookup::LeaveDisk);
    return folder;
}

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
