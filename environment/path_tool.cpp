#include "environment/path_tool.h"

#include <array>
#include <atomic>

#include "diag/trace.h"
#include "environment/global_data.h"
#include "environment/path_tool_choice.h"
#include "platform/scoped_resource.h"
#include "platform/sync_object.h"
#include "trust/trusted_loader.h"

namespace tqn {
namespace {

std::array<FARPROC, ptl::kExportCount> g_slots{};
std::atomic<int> g_lookupsLeavingDisk{0};
std::atomic<bool> g_rejectionTraced{false};

// The global block names a product folder that is not honoured. The text is
// not traced: anybody may have written it.

// RootDir as a plain text, from the key as it stands (a link there would be
// an administrator's own); empty when missing, not a string or too long.
std::wstring ReadInstalledFolder() {
    ScopedKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProductKeyPath, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) {
        return {};
    }
    std::array<wchar_t, 1024> text{};
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>((text.size() - 1) * sizeof(wchar_t));
    if (::RegQueryValueExW(key.Get(), kRootDirValue, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return std::wstring(text.data());
}

// The full path of a plain drive folder; anything else is left out rather
// than resolved against the current folder.
std::wstring FullDriveFolder(const std::wstring& folder) {
    return IsPlainDriveFolder(folder) ? FullPathName(folder) : std::wstring();
}

// Created on first use, lives until process exit.
SyncObjectEx& PathToolLock() {
    static SyncObjectEx lock;
    return lock;
}

HMODULE LoadedPathTool() { return ::GetModuleHandleW(ptl::kModuleName); }

bool BoundNow() { return LoadedPathTool() != nullptr && g_slots[ptl::kInitialize] != nullptr; }

template <typename Fn>
Fn SlotAs(size_t slot) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(g_slots[slot]));
}

// Calls the lookup's newer export (with the flag) or, failing that, its older one.
template <typename Newer, typename Older, typename... Names>
bool Lookup(size_t newerSlot, size_t olderSlot, uint32_t flag, std::wstring& out, const Names&... names) {
    out.clear();
    if (!BoundNow()) return false;
    if (g_lookupsLeavingDisk.load() > 0) flag = 0;
    std::array<wchar_t, ptl::kPathCapacity> buffer{};
    int32_t result = 0;
    switch (ChooseLookupExport(g_slots[newerSlot] != nullptr, g_slots[olderSlot] != nullptr)) {
    case LookupExport::Newer:
        result = SlotAs<Newer>(newerSlot)(names.c_str()..., buffer.data(), ptl::kPathCapacity, flag);
        break;
    case LookupExport::Older:
        result = SlotAs<Older>(olderSlot)(names.c_str()..., buffer.data(), ptl::kPathCapacity);
        break;
    case LookupExport::None:
        return false;
    }
    if (result == 0) return false;
    buffer.back() = L'\0';  // a module that filled the whole buffer still ends here
    out = buffer.data();
    return true;
}

}  // namespace

bool BindPathTool(const std::wstring& folder) {
    const std::wstring path = folder + L"\\" + ptl::kModuleName;
    // The reference taken here is the table's; ReleasePathTool gives it back.
    const HMODULE module = LoadTrustedPathTool(path);

    SyncObjectEx::Guard guard(PathToolLock());
    if (module != nullptr) {
        for (size_t i = 0; i < ptl::kExportCount; ++i) {
            g_slots[i] = ::GetProcAddress(module, ptl::kExportNames[i]);
        }
    }
    return BoundNow();
}

int32_t InitializePathTool(uint32_t flags, const std::wstring& folder) {
    // A stored folder without a trusted path tool does not stop the start:
    // the program folder is tried next.
    std::wstring productFolder;
    const ProductFolderSources sources = folder.empty() ? ReadProductFolderSources() : ProductFolderSources{};
    for (const std::wstring& candidate : ProductFolderCandidates(folder, sources)) {
        if (BindPathTool(candidate)) {
            productFolder = candidate;
            break;
        }
    }
    if (productFolder.empty()) return 0;
    const auto initialize = SlotAs<ptl::InitializeFn>(ptl::kInitialize);
    const std::wstring token = BuildCallerToken();
    return initialize(ptl::kDataFileName, productFolder.c_str(), token.c_str(), flags);
}

void RebindPathTool() {
    const HMODULE module = LoadedPathTool();
    if (module == nullptr || g_slots[ptl::kInitialize] != nullptr) return;
    for (size_t i = 0; i < ptl::kExportCount; ++i) {
        if (g_slots[i] == nullptr) g_slots[i] = ::GetProcAddress(module, ptl::kExportNames[i]);
    }
}

void ReleasePathTool() {
    if (const HMODULE module = LoadedPathTool()) ::FreeLibrary(module);
    if (LoadedPathTool() == nullptr) g_slots.fill(nullptr);
}

bool IsPathToolBound() {
    SyncObjectEx::Guard guard(PathToolLock());
    return BoundNow();
}

FARPROC PathToolSlot(size_t slot) { return slot < g_slots.size() ? g_slots[slot] : nullptr; }

bool GetFolderPathVariable(const std::wstring& baseVariable, const std::wstring& folderVariable,
                           std::wstring& out) {
    return Lookup<ptl::GetTwoPathFlagsFn, ptl::GetTwoPathFn>(
        ptl::kGetFolderPathNew2, ptl::kGetFolderPath2, ptl::kLookupFlag, out, baseVariable, folderVariable);
}

bool GetFilePathVariable(const std::wstring& folderVariable, const std::wstring& fileVariable,
                         std::wstring& out) {
    return Lookup<ptl::GetTwoPathFlagsFn, ptl::GetTwoPathFn>(
        ptl::kGetFilePathNew, ptl::kGetFilePath, ptl::kLookupFlag, out, folderVariable, fileVariable);
}

ScopedPathLookupsLeaveDisk::ScopedPathLookupsLeaveDisk() { ++g_lookupsLeavingDisk; }
ScopedPathLookupsLeaveDisk::~ScopedPathLookupsLeaveDisk() { --g_lookupsLeavingDisk; }

bool GetFileNameVariable(const std::wstring& fileVariable, std::wstring& out) {
    out.clear();
    if (!BoundNow() || g_slots[ptl::kGetFileName] == nullptr) return false;
    std::array<wchar_t, ptl::kPathCapacity> buffer{};
    const auto getFileName = SlotAs<ptl::GetOnePathFn>(ptl::kGetFileName);
    if (getFileName(fileVariable.c_str(), buffer.data(), ptl::kPathCapacity) == 0) return false;
    buffer.back() = L'\0';
    out = buffer.data();
    return true;
}

ProductFolderSources ReadProductFolderSources() {
    ProductFolderSources sources;
    sources.stored = GlobalData().ReadProductFolder();
    sources.programFolder = ProgramFolder();
    sources.installedFolder = FullDriveFolder(ReadInstalledFolder());
    if (!sources.stored.empty()) {
        const std::wstring full = FullDriveFolder(sources.stored);
        if (!full.empty()) sources.stored = full;
    }
    if (StoredFolderRejected(sources) && !g_rejectionTraced.exchange(true)) TraceEvent(TraceTag::StoredFolderIgnored);
    return sources;
}

std::wstring ProductFolder() { return ChooseProductFolder(std::wstring(), ReadProductFolderSources()); }

}  // namespace tqn
