#include "strings/skin_string_table.h"

#include <array>

#include "environment/caller_token.h"
#include "environment/named_mapping.h"
#include "environment/path_tool.h"
#include "platform/file_attributes.h"
#include "platform/dll_search.h"
#include "platform/scoped_resource.h"
#include "strings/skin_choice.h"

namespace tqn {

namespace {

using InitializeV2Fn = int32_t (*)(const wchar_t* callerToken, const wchar_t* skinPath);
using GetSkinBufferNameFn = int32_t (*)(wchar_t* name);
using NoArgFn = int32_t (*)();
constexpr size_t kBufferNameCapacity = 260;

template <typename Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

bool IsUsablePath(const std::wstring& path) {
    return IsUsableFile(::GetFileAttributesW(PathForAttributeQuery(path).c_str()));
}

}  // namespace

bool SkinStringTable::GetString(const std::wstring& id, std::wstring& text) {
    if (!IsSkinIdentifier(id)) {
        text = id;
        return false;
    }
    if (!initialized_) Initialize();
    if (!FindString(SkinStringKey(id), text)) {
        text = id;
        return false;
    }
    text = ExpandSkinLineBreaks(text);
    return true;
}

bool SkinStringTable::Initialize() {
    SyncObjectEx::Guard guard(lock_);
    if (initialized_) return true;

    RebindPathTool();
    std::wstring modulePath;
    GetFilePathVariable(L"UTIL_FOLDER", L"STRING_MODULE", modulePath);
    ScopedLibrary module(LoadModuleFromItsFolder(modulePath));
    if (!module) return false;

    const auto initializeV2 = Export<InitializeV2Fn>(module.Get(), "Initialize_V2");
    const auto getSkinBufferName = Export<GetSkinBufferNameFn>(module.Get(), "GetSkinBufferName");
    const auto lock = Export<NoArgFn>(module.Get(), "Lock");
    const auto unlock = Export<NoArgFn>(module.Get(), "Unlock");
    std::wstring skinPath;
    ChooseSkinFile(skinPath);

    if (lock != nullptr) lock();
    std::array<wchar_t, kBufferNameCapacity> name{};
    bool published = initializeV2 != nullptr && getSkinBufferName != nullptr &&
                     initializeV2(BuildCallerToken().c_str(), skinPath.c_str()) != 0 &&
                     getSkinBufferName(name.data()) != 0;
    name.back() = L'\0';
    published = published && name[0] != L'\0';

    // The buffer's own length field is checked against the object before a
    // view of that length is mapped, both through one handle: whatever
    // carries the name by then is not what is read. A buffer that is not
    // there gives a table without texts (it is not created: nobody would
    // fill it).
    uint64_t claimedLength = 0, objectSize = 0;
    ScopedHandle buffer;
    if (published) buffer.Reset(::OpenFileMappingW(FILE_MAP_READ, FALSE, name.data()));
    if (!published) {
        // nothing to map
    } else if (!buffer) {
        initialized_ = ::GetLastError() == ERROR_FILE_NOT_FOUND;
    } else if (ReadOpenMappingHeader(buffer.Get(), claimedLength, objectSize) &&
               SkinBufferSizeAcceptable(claimedLength, objectSize) &&
               view_.MapOpened(std::move(buffer), static_cast<size_t>(claimedLength + 8))) {
        const std::span<uint8_t> bytes = view_.Bytes();
        layout_ = ReadSkinLayout({bytes.data(), bytes.size()});
        initialized_ = true;
    }
    if (unlock != nullptr) unlock();
    return initialized_;
}

bool SkinStringTable::FindString(uint32_t key, std::wstring& text) const {
    text.clear();
    if (!initialized_) return false;
    const std::span<uint8_t> bytes = view_.Bytes();
    return FindSkinText({bytes.data(), bytes.size()}, layout_, key, text);
}

void ChooseSkinFile(std::wstring& path) {
    RebindPathTool();
    path = ChooseSkinPath(
        ::GetSystemDefaultLangID(),
        [](const wchar_t* variable) {
            std::wstring value;
            GetFilePathVariable(L"CONFIG_FOLDER", variable, value);
            return value;
        },
        IsUsablePath);
}

}  // namespace tqn
