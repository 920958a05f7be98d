#pragma once
// Registry keys of a test's own, under
// HKCU\Software\tqn-assoc-tests\<process id>-<n>, with HKEY_CURRENT_USER
// ("cu") and HKEY_LOCAL_MACHINE ("lm") redirected into it for the process
// while it lives, and HKEY_CLASSES_ROOT to the machine's classes
// ("lm\Software\Classes", as Wine shows them), so that nothing outside it is touched. Removed (whatever
// security its keys were left with) on destruction; keys of crashed runs are
// swept on construction.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/scoped_resource.h"

namespace tqn::test {

using Bytes = std::vector<unsigned char>;

class ScratchRegistry {
public:
    ScratchRegistry();
    ~ScratchRegistry();
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

    // The real path of the scratch key under HKEY_CURRENT_USER.
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

// Keys and values, addressed by a root handle and a path.
void CreateKey(HKEY root, const std::wstring& path);
void SetValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
              const void* data, DWORD size);
void SetString(HKEY root, const std::wstring& path, const std::wstring& name,
               const std::wstring& text);
bool KeyOpens(HKEY root, const std::wstring& path);
bool HasValue(HKEY root, const std::wstring& path, const std::wstring& name);
// The raw value, or false when it cannot be read.
bool RawValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD& type, Bytes& data);
std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path);
std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& path);

// Applies a descriptor written in SDDL; the key is opened with `access`.
void SetSddl(HKEY root, const std::wstring& path, const wchar_t* sddl, SECURITY_INFORMATION info,
             REGSAM access);
// The key's owner, group and DACL as bytes (empty when they cannot be read).
Bytes Descriptor(HKEY root, const std::wstring& path);
std::wstring Sddl(const Bytes& descriptor);
// The DACL alone, as bytes.
Bytes DaclBytes(const Bytes& descriptor);
Bytes SddlToDescriptor(const wchar_t* sddl);

// Deletes a key and everything below it, first widening whatever refuses.
void ForceDeleteTree(HKEY root, const std::wstring& path);

// Made-up extensions for the real classes view: ".tqnassoc-<pid>-<n>" keys
// and their classes. The sweep removes those of processes that are gone.
std::wstring UniqueExtension();
void SweepStaleExtensions();

// The kernel's name of an open key ("\REGISTRY\USER\..."); empty when it cannot be read.
std::wstring KernelName(HKEY root, const std::wstring& path);
// Makes root\link a registry link to targetRoot\target (root's by default).
void MakeLink(HKEY root, const std::wstring& link, const std::wstring& target, HKEY targetRoot = nullptr);
// This process's token with Administrators deny-only, for impersonation: a
// standard user as the registry's access checks see one. Empty on failure.
ScopedHandle StandardUserToken();

}  // namespace tqn::test
