#include "trust/trusted_loader.h"

#include <utility>

#include "platform/scoped_resource.h"
#include "trust/certificate_tool.h"
#include "trust/load_order.h"
#include "trust/trust_rules.h"

namespace tqn {

namespace {

std::function<void(const std::wstring&)>& BeforeLoadHook() {
    static std::function<void(const std::wstring&)> hook;
    return hook;
}

// Runs the caller's order of tests and loads the file only if they passed.
// The file is held open for reading, refusing writers and deletion (and so
// renames), from before the first test until LoadLibraryW has returned: the
// file tested is the file loaded. A file that cannot be held (missing, or
// open for writing elsewhere) is treated as missing.
HMODULE LoadIfTestsPass(const std::wstring& path, bool (*testsPass)(const TrustTests&)) {
    ScopedFileHandle hold(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hold) return nullptr;

    const TrustTests tests{
        [&path] { return static_cast<int32_t>(VerifyFileTrust(path)); },
        [&path](const std::wstring& expected) { return CompareSignerName(path, expected); },
    };
    if (!testsPass(tests)) return nullptr;

    if (BeforeLoadHook()) BeforeLoadHook()(path);
    return ::LoadLibraryW(path.c_str());
}

}  // namespace

HRESULT VerifyFileTrust(const std::wstring& path) {
    CertificateToolEx tool;
    return tool.VerifyFileTrust(path.c_str());
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

void SetBeforeLoadHookForTesting(std::function<void(const std::wstring&)> hook) {
    BeforeLoadHook() = std::move(hook);
}

}  // namespace tqn
