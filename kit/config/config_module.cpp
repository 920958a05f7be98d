// The configuration module "config.tqm": the launcher's data configuration, a
// flat store of named texts kept in "data.cfg" in the configuration folder.
// The folder is the path tool's CONFIG_FOLDER when the path tool is loaded in
// this process, else "config" beside this module; it is resolved at Initialize.
#include <windows.h>

#include <cstdint>
#include <string>
#include <type_traits>

#include "config/config_exports.h"
#include "environment/caller_token.h"
#include "environment/path_tool_exports.h"
#include "kit/config/config_data.h"
#include "kit/module_support/small_file.h"
#include "platform/scoped_resource.h"

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
cfg::Store g_store;
std::wstring g_dataFile;  // empty until Initialize has succeeded

constexpr wchar_t kDataFileName[] = L"data.cfg";
constexpr wchar_t kStopBeforeReplace[] = L"TQN_CONFIG_TEST_STOP_BEFORE_REPLACE";

#ifdef TQN_CONFIG_OVERFILL
constexpr bool kTerminateLongValues = false;  // the misbehaving build
#else
constexpr bool kTerminateLongValues = true;
#endif

void Report(const std::wstring& message) { ::OutputDebugStringW((L"config: " + message + L"\n").c_str()); }

std::wstring ErrorText(const wchar_t* what, const std::wstring& path) {
    return std::wstring(what) + L" " + path + L" (error " + std::to_wstring(::GetLastError()) + L")";
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring OwnFolder() {
    constexpr DWORD kByAddress =
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    HMODULE self = nullptr;
    if (!::GetModuleHandleExW(kByAddress, reinterpret_cast<LPCWSTR>(&OwnFolder), &self)) {
        return std::wstring();
    }
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return FolderOf(path);
        }
        if (path.size() >= 32768) return std::wstring();
        path.resize(path.size() * 2);
    }
}

// The path tool's CONFIG_FOLDER, when the tool is loaded here and answers.
// The module is referenced for the call so it cannot go away under it.
std::wstring PathToolConfigFolder() {
    tqn::ScopedLibrary tool;
    if (!::GetModuleHandleExW(0, tqn::ptl::kModuleName, tool.Receive())) return std::wstring();
    const auto getFolderPath = reinterpret_cast<tqn::ptl::GetOnePathFn>(
        reinterpret_cast<void*>(::GetProcAddress(tool.Get(), "GetFolderPath")));
    if (getFolderPath == nullptr) return std::wstring();
    wchar_t folder[tqn::ptl::kPathCapacity] = {};
    if (getFolderPath(L"CONFIG_FOLDER", folder, tqn::ptl::kPathCapacity) == 0) return std::wstring();
    folder[tqn::ptl::kPathCapacity - 1] = L'\0';  // its answer is not trusted to end
    return folder;
}

std::wstring ResolveDataFile() {
    std::wstring folder = PathToolConfigFolder();
    if (folder.empty()) {
        const std::wstring own = OwnFolder();
        if (own.empty()) return std::wstring();
        folder = own + L"\\config";
    }
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder + L"\\" + kDataFileName;
}

// Creates a folder and its missing parents; true when it exists afterwards.
bool EnsureFolder(const std::wstring& folder) {
    // Drives, shares and folders that exist already fail harmlessly.
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == L'\\' || folder[i] == L'/') {
            ::CreateDirectoryW(folder.substr(0, i).c_str(), nullptr);
        }
    }
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The whole text goes to a file of its own, flushed and closed, before
// anything touches the previous data file.
bool WriteFlushed(const std::wstring& path, const std::string& bytes, std::wstring& error) {
    tqn::ScopedFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = ErrorText(L"cannot create", path);
        return false;
    }
    DWORD written = 0;
    if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        error = ErrorText(L"cannot write", path);
        return false;
    }
    if (!::FlushFileBuffers(file.Get())) {
        error = ErrorText(L"cannot flush", path);
        return false;
    }
    return true;
}

// Lets a test end the process between the flushed new file and the replace.
void StopHereWhenAsked() {
    wchar_t flag[4] = {};
    if (::GetEnvironmentVariableW(kStopBeforeReplace, flag, 4) == 1 && flag[0] == L'1') {
        ::TerminateProcess(::GetCurrentProcess(), 3);
    }
}

}  // namespace

extern "C" {

int32_t Initialize(const wchar_t* callerToken, int32_t, int32_t) {
    tqn::kit::SrwExclusive lock(g_lock);
    g_store.clear();
    g_dataFile.clear();
    if (callerToken == nullptr || !tqn::CallerTokenMatchesSystem(callerToken)) {
        Report(L"Initialize: the caller token does not match this system");
        return 0;
    }
    g_dataFile = ResolveDataFile();
    if (g_dataFile.empty()) {
        Report(L"Initialize: no configuration folder");
        return 0;
    }
    return 1;
}

// config_refusing.tqm exports this as Initialize: it settles as Initialize
// does, so every other export works, and reports failure all the same.
int32_t InitializeRefusing(const wchar_t* callerToken, int32_t first, int32_t second) {
    Initialize(callerToken, first, second);
    return 0;
}

int32_t UnInitialize(int32_t) {
    tqn::kit::SrwExclusive lock(g_lock);
    g_store.clear();
    g_dataFile.clear();
    return 1;
}

int32_t LoadDataConfig(int32_t) {
    tqn::kit::SrwExclusive lock(g_lock);
    g_store.clear();
    if (g_dataFile.empty()) return 0;
    std::string bytes;
    std::wstring error;
    switch (tqn::kit::ReadSmallFile(g_dataFile, cfg::kLargestFile, bytes, error)) {
        case tqn::kit::SmallFileRead::Missing:
            return 1;
        case tqn::kit::SmallFileRead::Failed:
            Report(error);
            return 0;
        case tqn::kit::SmallFileRead::Read:
            break;
    }
    if (!cfg::ParseDataFile(bytes, kDataFileName, g_store, error)) {
        Report(error);
        return 0;
    }
    return 1;
}

int32_t SaveDataConfig() {
    tqn::kit::SrwExclusive lock(g_lock);
    if (g_dataFile.empty()) return 0;
    std::string bytes;
    std::wstring error;
    if (!cfg::WriteDataFile(g_store, bytes, error)) {
        Report(L"SaveDataConfig: " + error);
        return 0;
    }
    const std::wstring fresh = g_dataFile + L".new";
    if (!EnsureFolder(FolderOf(g_dataFile))) {
        Report(ErrorText(L"cannot create the folder of", g_dataFile));
        return 0;
    }
    if (!WriteFlushed(fresh, bytes, error)) {
        ::DeleteFileW(fresh.c_str());
        Report(error);
        return 0;
    }
    StopHereWhenAsked();
    if (!::MoveFileExW(fresh.c_str(), g_dataFile.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Report(ErrorText(L"cannot replace", g_dataFile));
        ::DeleteFileW(fresh.c_str());
        return 0;
    }
    return 1;
}

int32_t GetDataTypeStr(const wchar_t* key, wchar_t* valueOut) {
    tqn::kit::SrwExclusive lock(g_lock);
    if (g_dataFile.empty() || key == nullptr || *key == L'\0' || valueOut == nullptr) return 0;
    const auto found = g_store.find(key);
    if (found == g_store.end()) return 0;
    cfg::CopyValueOut(found->second, valueOut, tqn::config::kBufferCapacity, kTerminateLongValues);
    return 1;
}

// Keys longer than the file allows are refused, so a save cannot write a file
// that would not load again.
int32_t SetDataTypeStr(const wchar_t* key, const wchar_t* value) {
    tqn::kit::SrwExclusive lock(g_lock);
    if (g_dataFile.empty() || key == nullptr || *key == L'\0' || value == nullptr) return 0;
    const std::wstring name(key);
    if (name.size() > cfg::kMaxKeyLength) return 0;
    g_store[name] = value;
    return 1;
}

}  // extern "C"

// The exports keep the shapes the launcher calls them by.
static_assert(std::is_same_v<decltype(&Initialize), tqn::config::InitializeFn>);
static_assert(std::is_same_v<decltype(&InitializeRefusing), tqn::config::InitializeFn>);
static_assert(std::is_same_v<decltype(&UnInitialize), tqn::config::UnInitializeFn>);
static_assert(std::is_same_v<decltype(&LoadDataConfig), tqn::config::LoadDataConfigFn>);
static_assert(std::is_same_v<decltype(&SaveDataConfig), tqn::config::SaveDataConfigFn>);
static_assert(std::is_same_v<decltype(&GetDataTypeStr), tqn::config::GetDataTypeStrFn>);
static_assert(std::is_same_v<decltype(&SetDataTypeStr), tqn::config::SetDataTypeStrFn>);
