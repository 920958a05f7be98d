// The path-tool module "ptl.tqm": Initialize reads the data file from the
// folder it is given; the lookups answer from the variables it defines.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "crypt/text_conversion.h"
#include "environment/caller_token.h"
#include "kit/module_support/small_file.h"
#include "kit/ptl/ptl_data.h"
#include "platform/scoped_resource.h"
#include "platform/token_query.h"

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
ptl::PathTable g_table;
bool g_initialised = false;

constexpr uint32_t kCreateFolderFlag = 1;
constexpr DWORD kLargestDataFile = 1 << 20;

void Report(const std::wstring& message) { ::OutputDebugStringW((L"ptl: " + message + L"\n").c_str()); }

bool Environment(const std::wstring& name, std::wstring& value) {
    wchar_t buffer[1024] = {};
    const DWORD length = ::GetEnvironmentVariableW(name.c_str(), buffer, 1024);
    if (length == 0 || length >= 1024) return false;
    value.assign(buffer, length);
    return true;
}

// Creates a folder and its missing parents; true when it exists afterwards.
bool EnsureFolder(const std::wstring& folder) {
    size_t start = 0;
    if (folder.size() >= 3 && folder[1] == L':') {
        start = 3;
    } else if (folder.rfind(L"\\\\", 0) == 0) {
        const size_t server = folder.find(L'\\', 2);
        const size_t share = server == std::wstring::npos ? server : folder.find(L'\\', server + 1);
        start = share == std::wstring::npos ? folder.size() : share + 1;
    }
    for (size_t i = start; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == L'\\' || folder[i] == L'/') {
            if (i > start) ::CreateDirectoryW(folder.substr(0, i).c_str(), nullptr);
        }
    }
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Value(const wchar_t* name, std::wstring& value) {
    return name != nullptr && g_initialised && g_table.Find(name, value);
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

enum class Created { Folder, ParentFolder };

// A failed lookup leaves an empty output where there is room for one.
int32_t Fail(wchar_t* out, uint32_t capacity) {
    ptl::CopyOut(L"", out, capacity);
    return 0;
}

// The newer lookups' flag: bit 0 creates the folder (or the file's folder).
bool ApplyFlags(uint32_t flags, const std::wstring& path, Created what) {
    if ((flags & ~kCreateFolderFlag) != 0) return false;
    if ((flags & kCreateFolderFlag) == 0) return true;
    return EnsureFolder(what == Created::Folder ? path : FolderOf(path));
}

int32_t Joined(const wchar_t* first, const wchar_t* second, wchar_t* out, uint32_t capacity,
               const uint32_t* flags, Created what) {
    tqn::kit::SrwExclusive lock(g_lock);
    std::wstring base;
    std::wstring leaf;
    if (!Value(first, base) || !Value(second, leaf)) return Fail(out, capacity);
    const std::wstring path = ptl::JoinPath(base, leaf);
    if (flags != nullptr && !ApplyFlags(*flags, path, what)) return Fail(out, capacity);
    return ptl::CopyOut(path, out, capacity) ? 1 : 0;
}

int32_t Single(const wchar_t* name, wchar_t* out, uint32_t capacity, const uint32_t* flags, Created what,
               bool nameOnly) {
    tqn::kit::SrwExclusive lock(g_lock);
    std::wstring path;
    if (!Value(name, path)) return Fail(out, capacity);
    if (flags != nullptr && !ApplyFlags(*flags, path, what)) return Fail(out, capacity);
    return ptl::CopyOut(nameOnly ? ptl::FileNameOf(path) : path, out, capacity) ? 1 : 0;
}

// A list handed out: NUL-terminated texts, then an empty one; freed by FreeList.
int32_t HandOutList(const std::wstring& joined, wchar_t** list) {
    if (list == nullptr) return 0;
    *list = nullptr;
    const size_t units = joined.size() + 1;
    auto* memory = static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), 0, units * sizeof(wchar_t)));
    if (memory == nullptr) return 0;
    joined.copy(memory, joined.size());
    memory[joined.size()] = L'\0';
    *list = memory;
    return 1;
}

}  // namespace

extern "C" {

int32_t __stdcall Initialize(const wchar_t* dataFile, const wchar_t* folder, const wchar_t* token,
                             uint32_t flags) {
    tqn::kit::SrwExclusive lock(g_lock);
    g_initialised = false;
    g_table.Clear();
    if (dataFile == nullptr || *dataFile == L'\0' || folder == nullptr || *folder == L'\0') {
        Report(L"Initialize needs a data file name and a folder");
        return 0;
    }
    if (flags != 0) {
        Report(L"Initialize: unknown flags " + std::to_wstring(flags));
        return 0;
    }
    if (token == nullptr || !tqn::CallerTokenMatchesSystem(token)) {
        Report(L"Initialize: the caller token does not match this system");
        return 0;
    }
    const std::wstring path = ptl::JoinPath(folder, dataFile);
    std::string bytes;
    std::wstring error;
    // A missing file is an error of its own here: the path tool has nothing to answer from.
    const auto read = tqn::kit::ReadSmallFile(path, kLargestDataFile, bytes, error);
    if (read == tqn::kit::SmallFileRead::Missing) error = L"cannot open " + path + L" (no such file)";
    if (read != tqn::kit::SmallFileRead::Read || !g_table.Load(bytes, dataFile, folder, Environment, error)) {
        Report(error);
        return 0;
    }
    g_initialised = true;
    return 1;
}

int32_t __stdcall UnInitialize() {
    tqn::kit::SrwExclusive lock(g_lock);
    g_initialised = false;
    g_table.Clear();
    return 1;
}

int32_t __stdcall GetPathVariable(const wchar_t* name, wchar_t* out, uint32_t capacity) {
    return Single(name, out, capacity, nullptr, Created::Folder, false);
}

int32_t __stdcall GetPathVariableList(wchar_t** list) {
    tqn::kit::SrwExclusive lock(g_lock);
    if (list != nullptr) *list = nullptr;
    if (!g_initialised) return 0;
    std::wstring joined;
    for (const auto& [name, value] : g_table.Values()) joined += name + L"=" + value + L'\0';
    return HandOutList(joined, list);
}

int32_t __stdcall GetSIDList(wchar_t** list) {
    if (list != nullptr) *list = nullptr;
    const std::wstring sid = tqn::ProcessUserSidText();
    if (sid.empty()) return 0;
    return HandOutList(sid + L'\0', list);
}

int32_t __stdcall FreeList(wchar_t* list) {
    if (list == nullptr) return 0;
    return ::HeapFree(::GetProcessHeap(), 0, list) ? 1 : 0;
}

int32_t __stdcall GetFolderPath(const wchar_t* folder, wchar_t* out, uint32_t capacity) {
    return Single(folder, out, capacity, nullptr, Created::Folder, false);
}

int32_t __stdcall GetFolderPath2(const wchar_t* base, const wchar_t* folder, wchar_t* out, uint32_t capacity) {
    return Joined(base, folder, out, capacity, nullptr, Created::Folder);
}

int32_t __stdcall GetFilePath(const wchar_t* folder, const wchar_t* file, wchar_t* out, uint32_t capacity) {
    return Joined(folder, file, out, capacity, nullptr, Created::ParentFolder);
}

int32_t __stdcall GetFilePath2(const wchar_t* file, wchar_t* out, uint32_t capacity) {
    return Single(file, out, capacity, nullptr, Created::ParentFolder, false);
}

int32_t __stdcall GetFolderPathNew(const wchar_t* folder, wchar_t* out, uint32_t capacity, uint32_t flags) {
    return Single(folder, out, capacity, &flags, Created::Folder, false);
}

int32_t __stdcall GetFolderPathNew2(const wchar_t* base, const wchar_t* folder, wchar_t* out, uint32_t capacity,
                                    uint32_t flags) {
    return Joined(base, folder, out, capacity, &flags, Created::Folder);
}

int32_t __stdcall GetFilePathNew(const wchar_t* folder, const wchar_t* file, wchar_t* out, uint32_t capacity,
                                 uint32_t flags) {
    return Joined(folder, file, out, capacity, &flags, Created::ParentFolder);
}

int32_t __stdcall GetFilePathNew2(const wchar_t* file, wchar_t* out, uint32_t capacity, uint32_t flags) {
    return Single(file, out, capacity, &flags, Created::ParentFolder, false);
}

int32_t __stdcall GetFileName(const wchar_t* file, wchar_t* out, uint32_t capacity) {
    return Single(file, out, capacity, nullptr, Created::ParentFolder, true);
}

}  // extern "C"
