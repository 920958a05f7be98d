#include "trust/trusted_loader.h"

#include <optional>
#include <utility>
#include <vector>

#include "diag/trace.h"
#include "platform/dll_search.h"
#include "platform/module_path.h"
#include "platform/scoped_resource.h"
#include "platform/sync_object.h"
#include "trust/certificate_tool.h"
#include "trust/load_order.h"
#include "trust/trust_rules.h"

namespace tqn {

namespace {

// The module the loader would hand back is not (or may not be) the file tested.

std::function<void(const std::wstring&)>& BeforeLoadHook() {
    static std::function<void(const std::wstring&)> hook;
    return hook;
}

std::function<void(const std::wstring&)>& VerificationHook() {
    static std::function<void(const std::wstring&)> hook;
    return hook;
}

// The modules this process verified and loaded, with their file names as the
// loader reports them. An entry may outlive its module; it is only consulted
// together with a module that the loader still holds at that very path. One
// case it cannot tell apart: a module freed, then mapped again without the
// tests from the same path at the same address. Launch.exe keeps every module
// it verified until its end, so none of its entries outlives its module.
struct VerifiedModule {
    HMODULE module;
    std::wstring path;
};
SyncObjectEx g_verifiedLock;
std::vector<VerifiedModule>& VerifiedModules() {
    static std::vector<VerifiedModule> modules;
    return modules;
}

std::function<std::wstring(HMODULE)>& LoadedFileNameSeam() {
    static std::function<std::wstring(HMODULE)> seam;
    return seam;
}

// The volume and the file index: the same file whatever name reaches it.
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> IdentityOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

// True when the file the loader names for the module is the file held open.
bool LoadedFromHeldFile(HMODULE module, HANDLE held) {
    const std::wstring name =
        LoadedFileNameSeam() ? LoadedFileNameSeam()(module) : ModuleFileName(module);
    if (name.empty()) return false;
    ScopedFileHandle loaded(::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!loaded) return false;
    const std::optional<FileIdentity> heldIdentity = IdentityOf(held);
    return heldIdentity && heldIdentity == IdentityOf(loaded.Get());
}


// While a module stays loaded, LoadLibraryW hands back the image already
// mapped for its path, whatever lies on disk now: testing the file again
// would prove nothing about the code that runs. So a module that this
// process verified and still holds at the requested full path gets one more
// reference and no second test; another path, or one freed since, is tested
// as a new load. The roles differ only in the order of the tests, never in
// what passes, so a module verified for one role passes for every other.
//
// A module mapped for the path that this process did not verify is refused
// outright: it may have been mapped from a file since renamed away, and the
// loader would hand back that image for whatever file lies there now.
struct MappedModule {
    bool mapped = false;         // the loader holds a module for this very path
    HMODULE verified = nullptr;  // with one more reference, when it is one we verified
};

MappedModule FindMappedModule(const std::wstring& path) {
    const std::wstring full = FullPathName(path);
    if (full.empty()) return {};
    ScopedLibrary reference;
    if (!::GetModuleHandleExW(0, full.c_str(), reference.Receive())) return {};
    const std::wstring loaded = ModuleFileName(reference.Get());
    if (!SamePathText(loaded, full)) return {};
    SyncObjectEx::Guard guard(g_verifiedLock);
    for (const VerifiedModule& verified : VerifiedModules()) {
        if (verified.module == reference.Get() && SamePathText(verified.path, loaded)) {
            return {true, reference.Take()};
        }
    }
    return {true, nullptr};
}

struct KeptModules {
    bool keeping = false;
    std::vector<ScopedLibrary> references;
};
KeptModules& Kept() {
    static KeptModules kept;
    return kept;
}

void RememberVerified(HMODULE module) {
    const std::wstring loaded = ModuleFileName(module);
    SyncObjectEx::Guard guard(g_verifiedLock);
    std::vector<VerifiedModule>& modules = VerifiedModules();
    // A handle seen before belonged to a module freed since: its entry goes.
    std::erase_if(modules, [module](const VerifiedModule& old) { return old.module == module; });
    if (!loaded.empty()) modules.push_back({module, loaded});
    if (Kept().keeping) {
        ScopedLibrary reference;
        if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(module),
                                 reference.Receive())) {
            Kept().references.push_back(std::move(reference));
        }
    }
}

// Runs the caller's order of tests and loads the file only if they passed.
// The file is held open for reading, refusing writers and deletion (and so
// renames), from before the first test until LoadLibraryW has returned: the
// file tested is the file loaded. A file that cannot be held (missing, or
// open for writing elsewhere) is treated as missing.
HMODULE LoadIfTestsPass(const std::wstring& path, bool (*testsPass)(const TrustTests&)) {
    const MappedModule mapped = FindMappedModule(path);
    if (mapped.verified != nullptr) return mapped.verified;
    if (mapped.mapped) {
        TraceEvent(TraceTag::NotTheTestedFile, path.c_str());
        return nullptr;
    }

    ScopedFileHandle hold(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hold) return nullptr;

    if (VerificationHook()) VerificationHook()(path);
    // Both tests read one verification of the held file: the signer compared
    // is the signer of the signature that was verified. Reading the name by
    // the path again could read another file, should its folder be switched
    // in between (a junction), and pair one file's signature with another's
    // signer.
    const CertificateToolEx::VerifiedFile verified(path.c_str(), hold.Get());
    const TrustTests tests{
        [&verified] { return static_cast<int32_t>(verified.TrustResult()); },
        [&verified](const std::wstring& expected) {
            std::wstring name;
            const bool read = verified.ReadSignerName(name) == CertificateToolEx::kNameRead;
            return SignerComparisonResult(read, name, expected);
        },
    };
    if (!testsPass(tests)) return nullptr;

    if (BeforeLoadHook()) BeforeLoadHook()(path);
    ScopedLibrary module(LoadModuleFromItsFolder(path));
    if (!module) return nullptr;
    // A redirection (a ".local" folder, a manifest, an image already mapped
    // for that name) could hand back another file than the one tested.
    if (!LoadedFromHeldFile(module.Get(), hold.Get())) {
        TraceEvent(TraceTag::NotTheTestedFile, path.c_str());
        return nullptr;
    }
    RememberVerified(module.Get());
    return module.Take();
}

}  // namespace

HRESULT VerifyFileTrust(const std::wstring& path, HANDLE heldFile) {
    CertificateToolEx tool;
    return tool.VerifyFileTrust(path.c_str(), heldFile);
}

bool GetSignerName(const std::wstring& path, std::wstring& name) {
    CertificateToolEx tool;
    CertificateToolEx::FileObejct file(path.c_str());
    std::wstring read;
    if (tool.ReadSignerName(file, read) != CertificateToolEx::kNameRead) return false;
    name = std::move(read);
    return true;
}

int CompareSignerName(const std::wstring& path, const std::wstring& expected) {
    std::wstring name;
    const bool read = GetSignerName(path, name);
    return SignerComparisonResult(read, name, expected);
}

HMODULE LoadTrustedPathTool(const std::wstring& path) {
    return LoadIfTestsPass(path, PathToolTestsPass);
}

HMODULE LoadTrustedConfigModule(const std::wstring& path) {
    return LoadIfTestsPass(path, ConfigModuleTestsPass);
}

HMODULE LoadTrustedScriptModule(const std::wstring& path) {
    return LoadIfTestsPass(path, ScriptModuleTestsPass);
}

void KeepVerifiedModulesLoaded(bool keep) {
    SyncObjectEx::Guard guard(g_verifiedLock);
    Kept().keeping = keep;
}

void ReleaseKeptModules() {
    std::vector<ScopedLibrary> references;
    {
        SyncObjectEx::Guard guard(g_verifiedLock);
        Kept().keeping = false;
        references.swap(Kept().references);
    }
    // Freed here, outside the lock, newest first.
    while (!references.empty()) references.pop_back();
}

void SetVerificationHookForTesting(std::function<void(const std::wstring&)> hook) {
    VerificationHook() = std::move(hook);
}

void SetLoadedFileNameForTesting(std::function<std::wstring(HMODULE)> fileName) {
    LoadedFileNameSeam() = std::move(fileName);
}

void SetBeforeLoadHookForTesting(std::function<void(const std::wstring&)> hook) {
    BeforeLoadHook() = std::move(hook);
}

}  // namespace tqn
