// The string module "strings.tqm": publishes the texts of a skin file in the
// skin buffer, a named mapping that the launcher opens by the name
// GetSkinBufferName gives and keeps mapped after unloading the module.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "environment/caller_token.h"
#include "kit/module_support/small_file.h"
#include "kit/strings/skin_buffer_writer.h"
#include "kit/strings/skin_file.h"
#include "platform/scoped_resource.h"
#include "platform/sync_object.h"

namespace {

// The caller's buffer for the name holds this many wide characters.
constexpr size_t kNameCapacity = 260;

// One lock for the module's state. The caller's Lock/Unlock take it too, so a
// caller holding it can still call every export on the same thread.
tqn::SyncObjectEx g_sync;
std::atomic<DWORD> g_callerLockOwner{0};
int g_callerLockDepth = 0;  // changed only by the thread in g_callerLockOwner

// The mapping this instance made, open until UnInitialize or unload. A later
// Initialize_V2 rewrites it in place when the new buffer fits: the name is the
// same, and whoever still holds the old mapping would keep a new one from
// being made.
tqn::ScopedHandle g_mapping;
size_t g_mappingSize = 0;
std::wstring g_mappingName;
bool g_published = false;  // the last Initialize_V2 succeeded

void Report(const std::wstring& message) { ::OutputDebugStringW((L"strings: " + message + L"\n").c_str()); }

std::wstring ErrorText(const std::wstring& what, DWORD code) {
    return what + L" (error " + std::to_wstring(code) + L")";
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Per process, in the session namespace: the launcher finds it by its own ID.
std::wstring BufferName() { return L"TQSkinBuffer_" + std::to_wstring(::GetCurrentProcessId()); }

bool LoadSkin(const wchar_t* path, skn::Skin& skin) {
    if (path == nullptr || *path == L'\0') {
        Report(L"Initialize_V2: no skin file given");
        return false;
    }
    std::string bytes;
    std::wstring error;
    const auto read = tqn::kit::ReadSmallFile(path, skn::kLargestSkin, bytes, error);
    if (read == tqn::kit::SmallFileRead::Missing) error = L"cannot open " + std::wstring(path) + L" (no such file)";
    if (read != tqn::kit::SmallFileRead::Read || !skn::ParseSkin(bytes, FileNameOf(path), skin, error)) {
        Report(error);
        return false;
    }
    return true;
}

// Copies the buffer to the start of the mapping and zeros the rest of it.
bool WriteInto(HANDLE mapping, size_t mappingSize, const std::vector<uint8_t>& buffer, const std::wstring& name) {
    tqn::ScopedView view(::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, mappingSize));
    if (!view) {
        Report(ErrorText(L"cannot map the skin buffer " + name, ::GetLastError()));
        return false;
    }
    auto* bytes = static_cast<uint8_t*>(view.Get());
    std::memcpy(bytes, buffer.data(), buffer.size());
    std::memset(bytes + buffer.size(), 0, mappingSize - buffer.size());
    return true;
}

void CloseMapping() {
    g_mapping.Reset();
    g_mappingSize = 0;
    g_mappingName.clear();
}

bool Publish(const std::vector<uint8_t>& buffer) {
    if (g_mapping && buffer.size() <= g_mappingSize) {
        return WriteInto(g_mapping.Get(), g_mappingSize, buffer, g_mappingName);
    }
    // A larger buffer needs a new mapping, which can be made only when nobody
    // else still holds the old one.
    CloseMapping();

    const std::wstring name = BufferName();
    const uint64_t size = buffer.size();
    ::SetLastError(ERROR_SUCCESS);  // only "already exists" is read on success
    // Default security: the buffer is for the calling process, which opens it
    // by name next.
    tqn::ScopedHandle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                                   static_cast<DWORD>(size >> 32), static_cast<DWORD>(size),
                                                   name.c_str()));
    const DWORD error = ::GetLastError();
    if (!mapping || error == ERROR_ALREADY_EXISTS) {
        // Never write into a buffer somebody else made.
        Report(ErrorText(L"cannot create the skin buffer " + name, error));
        return false;
    }
    if (!WriteInto(mapping.Get(), buffer.size(), buffer, name)) return false;
    g_mapping = std::move(mapping);
    g_mappingSize = buffer.size();
    g_mappingName = name;
    return true;
}

}  // namespace

extern "C" {

int32_t Lock() {
    if (!g_sync.Enter()) return 0;
    g_callerLockOwner = ::GetCurrentThreadId();
    ++g_callerLockDepth;
    return 1;
}

// Only the thread that called Lock can release it.
int32_t Unlock() {
    if (g_callerLockOwner != ::GetCurrentThreadId()) return 0;
    if (--g_callerLockDepth == 0) g_callerLockOwner = 0;
    g_sync.Leave();
    return 1;
}

int32_t Initialize_V2(const wchar_t* callerToken, const wchar_t* skinPath) {
    tqn::SyncObjectEx::Guard guard(g_sync);
    g_published = false;
    if (callerToken == nullptr || !tqn::CallerTokenMatchesSystem(callerToken)) {
        Report(L"Initialize_V2: the caller token does not match this system");
        return 0;
    }
    skn::Skin skin;
    if (!LoadSkin(skinPath, skin)) return 0;
    const std::vector<uint8_t> buffer = skn::BuildSkinBuffer(skin);
    if (buffer.empty()) {
        Report(L"cannot encipher the texts of " + FileNameOf(skinPath));
        return 0;
    }
    g_published = Publish(buffer);
    return g_published ? 1 : 0;
}

int32_t UnInitialize() {
    tqn::SyncObjectEx::Guard guard(g_sync);
    g_published = false;
    CloseMapping();
    return 1;
}

int32_t GetSkinBufferName(wchar_t* out) {
    tqn::SyncObjectEx::Guard guard(g_sync);
    if (!g_published || out == nullptr) return 0;
    const size_t count = g_mappingName.size() < kNameCapacity ? g_mappingName.size() : kNameCapacity - 1;
    g_mappingName.copy(out, count);
    out[count] = L'\0';
    return 1;
}

}  // extern "C"
