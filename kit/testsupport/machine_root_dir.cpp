#include "kit/testsupport/machine_root_dir.h"

#include <windows.h>

#include "platform/scoped_resource.h"

namespace tqn::test {

namespace {

constexpr wchar_t kProductKey[] = L"SOFTWARE\\Brennick\\Tarvolin";

void SetRootDir(const std::wstring& text) {
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kProductKey, L"RootDir", REG_SZ, text.c_str(),
                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

ScopedMachineRootDir::ScopedMachineRootDir(const std::wstring& folder) {
    ScopedKey key;
    DWORD disposition = 0;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                          key.Receive(), &disposition) != ERROR_SUCCESS) {
        return;
    }
    keyCreated_ = disposition == REG_CREATED_NEW_KEY;
    wchar_t former[1024] = {};
    DWORD size = sizeof(former) - sizeof(wchar_t);
    if (::RegQueryValueExW(key.Get(), L"RootDir", nullptr, nullptr, reinterpret_cast<BYTE*>(former), &size) ==
        ERROR_SUCCESS) {
        former_ = former;
    }
    if (folder.empty()) {
        ::RegDeleteValueW(key.Get(), L"RootDir");
    } else {
        SetRootDir(folder);
    }
}

ScopedMachineRootDir::~ScopedMachineRootDir() {
    if (former_) {
        SetRootDir(*former_);
    } else if (keyCreated_) {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProductKey);
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Brennick");  // only when nothing else is in it
    } else {
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kProductKey, L"RootDir");
    }
}

}  // namespace tqn::test
