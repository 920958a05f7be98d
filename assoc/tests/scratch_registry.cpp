#include "assoc/tests/scratch_registry.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <cwchar>

#include "assoc/key_operation.h"
#include "platform/scoped_resource.h"

namespace tqn::test {
namespace {

constexpr wchar_t kScratchBase[] = L"Software\\tqn-assoc-tests";
constexpr wchar_t kExtensionPrefix[] = L"tqnassoc-";

std::atomic<unsigned> g_counter{0};

bool ProcessIsRunning(DWORD processId) {
    ScopedHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return false;
    DWORD code = 0;
    return ::GetExitCodeProcess(process.Get(), &code) && code == STILL_ACTIVE;
}

// "<pid>-..." names of processes that are gone.
bool IsStaleName(const std::wstring& name) {
    wchar_t* end = nullptr;
    const unsigned long processId = std::wcstoul(name.c_str(), &end, 10);
    if (end == name.c_str() || *end != L'-') return false;
    return processId != ::GetCurrentProcessId() && !ProcessIsRunning(processId);
}

void SweepStaleScratchKeys() {
    for (const std::wstring& name : SubkeyNames(HKEY_CURRENT_USER, kScratchBase)) {
        if (IsStaleName(name)) ForceDeleteTree(HKEY_CURRENT_USER, std::wstring(kScratchBase) + L"\\" + name);
    }
}

ScopedKey OpenScratch(const std::wstring& path) {
    ScopedKey key;
    EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, key.Receive()), 0);
    return key;
}

void OpenUp(HKEY root, const std::wstring& path) {
    SetSddl(root, path, L"O:BA", OWNER_SECURITY_INFORMATION, WRITE_OWNER);
    SetSddl(root, path, L"D:(A;OICI;KA;;;WD)(A;OICI;KA;;;BA)", DACL_SECURITY_INFORMATION, WRITE_DAC);
}

}  // namespace

ScratchRegistry::ScratchRegistry() {
    SweepStaleScratchKeys();
    path_ = std::wstring(kScratchBase) + L"\\" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(g_counter++);
    ForceDeleteTree(HKEY_CURRENT_USER, path_);
    // The classes root shows the machine's classes, as Wine's does; the
    // registry tool merges the user's "Software\Classes" over it itself.
    for (const wchar_t* child : {L"\\cu", L"\\lm\\Software\\Classes"}) CreateKey(HKEY_CURRENT_USER, path_ + child);
    // All three are opened before HKEY_CURRENT_USER is pointed elsewhere; the
    // overrides keep duplicates of the handles.
    const ScopedKey user = OpenScratch(path_ + L"\\cu");
    const ScopedKey classes = OpenScratch(path_ + L"\\lm\\Software\\Classes");
    const ScopedKey machine = OpenScratch(path_ + L"\\lm");
    EXPECT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, user.Get()), 0);
    EXPECT_EQ(::RegOverridePredefKey(HKEY_CLASSES_ROOT, classes.Get()), 0);
    EXPECT_EQ(::RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine.Get()), 0);
}

ScratchRegistry::~ScratchRegistry() {
    for (HKEY predefined : {HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE}) {
        ::RegOverridePredefKey(predefined, nullptr);
    }
    ForceDeleteTree(HKEY_CURRENT_USER, path_);
    EXPECT_FALSE(KeyOpens(HKEY_CURRENT_USER, path_)) << "scratch key left behind";
}

void CreateKey(HKEY root, const std::wstring& path) {
    ScopedKey key;
    ASSERT_EQ(::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                key.Receive(), nullptr),
              0)
        << "creating " << testing::PrintToString(path);
}

void SetValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
              const void* data, DWORD size) {
    ScopedKey key;
    ASSERT_EQ(::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                key.Receive(), nullptr),
              0);
    ASSERT_EQ(::RegSetValueExW(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size), 0);
}

void SetString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    SetValue(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
}

bool KeyOpens(HKEY root, const std::wstring& path) {
    ScopedKey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Receive()) == 0;
}

bool HasValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    DWORD type = 0;
    Bytes data;
    return RawValue(root, path, name, type, data);
}

bool RawValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD& type, Bytes& data) {
    ScopedKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) != 0) return false;
    DWORD size = 0;
    if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != 0) return false;
    data.assign(size, 0);
    return ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, data.data(), &size) == 0;
}

namespace {

// The names a key lists, by RegEnumKeyExW or RegEnumValueW (same shape).
template <typename Enumerate>
std::vector<std::wstring> ListedNames(HKEY root, const std::wstring& path, Enumerate enumerate) {
    std::vector<std::wstring> names;
    ScopedKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Receive()) != 0) return names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (enumerate(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != 0) break;
        names.emplace_back(name, length);
    }
    return names;
}

}  // namespace

std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path) {
    return ListedNames(root, path, ::RegEnumKeyExW);
}

std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& path) {
    return ListedNames(root, path, ::RegEnumValueW);
}

void SetSddl(HKEY root, const std::wstring& path, const wchar_t* sddl, SECURITY_INFORMATION info,
             REGSAM access) {
    Bytes descriptor = SddlToDescriptor(sddl);
    ScopedKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, access, key.Receive()) != 0) return;
    ::RegSetKeySecurity(key.Get(), info, descriptor.data());
}

Bytes Descriptor(HKEY root, const std::wstring& path) {
    ScopedKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, READ_CONTROL, key.Receive()) != 0) return {};
    const SECURITY_INFORMATION info =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    ::RegGetKeySecurity(key.Get(), info, nullptr, &size);
    Bytes descriptor(size);
    if (size == 0 || ::RegGetKeySecurity(key.Get(), info, descriptor.data(), &size) != 0) return {};
    descriptor.resize(size);
    return descriptor;
}

std::wstring Sddl(const Bytes& descriptor) {
    if (descriptor.empty()) return L"(unreadable)";
    wchar_t* text = nullptr;
    const SECURITY_INFORMATION info =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(
            const_cast<unsigned char*>(descriptor.data()), SDDL_REVISION_1, info, &text, nullptr)) {
        return L"(invalid)";
    }
    ScopedLocalMemory owner(text);
    return text;
}

Bytes DaclBytes(const Bytes& descriptor) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (descriptor.empty() ||
        !::GetSecurityDescriptorDacl(const_cast<unsigned char*>(descriptor.data()), &present, &dacl,
                                     &defaulted) ||
        dacl == nullptr) {
        return {};
    }
    const auto* first = reinterpret_cast<const unsigned char*>(dacl);
    return Bytes(first, first + dacl->AclSize);
}

Bytes SddlToDescriptor(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ULONG size = 0;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, &size)) {
        ADD_FAILURE() << "bad SDDL";
        return {};
    }
    ScopedLocalMemory owner(descriptor);
    const auto* first = static_cast<const unsigned char*>(descriptor);
    return Bytes(first, first + size);
}

void ForceDeleteTree(HKEY root, const std::wstring& path) {
    OpenUp(root, path);
    for (const std::wstring& name : SubkeyNames(root, path)) ForceDeleteTree(root, path + L"\\" + name);
    ::RegDeleteKeyW(root, path.c_str());
}

std::wstring UniqueExtension() {
    return std::wstring(kExtensionPrefix) + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(g_counter++);
}

void SweepStaleExtensions() {
    const std::wstring prefix = kExtensionPrefix;
    for (const std::wstring& name : SubkeyNames(HKEY_CLASSES_ROOT, L"")) {
        // ".tqnassoc-<pid>-<n>" and the classes "tqnassoc-<pid>-<n>file" etc.
        const size_t start = name.rfind(prefix, 1);
        if (start == std::wstring::npos) continue;
        if (IsStaleName(name.substr(start + prefix.size()))) ForceDeleteTree(HKEY_CLASSES_ROOT, name);
    }
}

// The kernel's name of an open key ("\REGISTRY\USER\...").
std::wstring KernelName(HKEY root, const std::wstring& path) {
    using NtQueryKeyFn = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<NtQueryKeyFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryKey")));
    ScopedKey key;
    if (query == nullptr || ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Receive()) != 0) return L"";
    alignas(ULONG) unsigned char buffer[4096] = {};
    ULONG size = 0;
    constexpr int kKeyNameInformation = 3;
    if (query(key.Get(), kKeyNameInformation, buffer, sizeof buffer, &size) < 0) return L"";
    ULONG length = 0;
    std::memcpy(&length, buffer, sizeof length);
    return std::wstring(reinterpret_cast<const wchar_t*>(buffer + sizeof(ULONG)), length / sizeof(wchar_t));
}

// Makes root\link a registry link to targetRoot\target (root's by default).
void MakeLink(HKEY root, const std::wstring& link, const std::wstring& target, HKEY targetRoot) {
    const std::wstring name = KernelName(targetRoot != nullptr ? targetRoot : root, target);
    ASSERT_FALSE(name.empty());
    ScopedKey key;
    ASSERT_EQ(::RegCreateKeyExW(root, link.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                                nullptr, key.Receive(), nullptr),
              0);
    ASSERT_EQ(::RegSetValueExW(key.Get(), L"SymbolicLinkValue", 0, REG_LINK,
                               reinterpret_cast<const BYTE*>(name.data()),
                               static_cast<DWORD>(name.size() * sizeof(wchar_t))),
              0);
    ASSERT_EQ(IsRegistryLink(root, link), true);
}

ScopedHandle StandardUserToken() {
    ScopedHandle process, restricted, user;
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof admins;
    SID_AND_ATTRIBUTES disable{admins, 0};
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, process.Receive()) &&
        ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size) &&
        ::CreateRestrictedToken(process.Get(), 0, 1, &disable, 0, nullptr, 0, nullptr, restricted.Receive())) {
        ::DuplicateToken(restricted.Get(), SecurityImpersonation, user.Receive());
    }
    return user;
}

}  // namespace tqn::test
