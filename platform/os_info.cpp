#include "platform/os_info.h"

#include <cwchar>

#include "platform/scoped_resource.h"

namespace tqn {

namespace {

static_assert(sizeof(OSVERSIONINFOEXW) == 284 && sizeof(OSVERSIONINFOW) == 276);

constexpr DWORD kPlatformNt = 2;  // VER_PLATFORM_WIN32_NT
constexpr int kMetricServerR2 = 89;  // SM_SERVERR2

using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
using GetSystemMetricsFn = int(WINAPI*)(int);

// Exports resolved by name, so that systems without them still start.
template <typename Fn>
Fn ResolveExport(const ScopedLibrary& module, const char* name) {
    if (!module) return nullptr;
    // Through the generic function-pointer type, which converts to any other.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module.Get(), name)));
}

void ReadSystemInfo(SYSTEM_INFO& info) {
    info = SYSTEM_INFO{};
    ScopedLibrary kernel(::LoadLibraryW(L"kernel32.dll"));
    if (auto native = ResolveExport<GetNativeSystemInfoFn>(kernel, "GetNativeSystemInfo")) {
        native(&info);
    } else {
        ::GetSystemInfo(&info);
    }
}

// The extended structure first; the plain one for systems that refuse it.
bool ReadVersion(OSVERSIONINFOEXW& version) {
    version = OSVERSIONINFOEXW{};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    if (::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) return true;
    version = OSVERSIONINFOEXW{};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    return ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)) != FALSE;
}

uint32_t ReadProductInfo(DWORD major, DWORD minor) {
    ScopedLibrary kernel(::LoadLibraryW(L"kernel32.dll"));
    auto getProductInfo = ResolveExport<GetProductInfoFn>(kernel, "GetProductInfo");
    if (getProductInfo == nullptr) return 0;
    DWORD productType = 0;
    if (!getProductInfo(major, minor, 0, 0, &productType)) return 0;
    return productType;
}

int32_t ReadServerR2Metric() {
    ScopedLibrary user(::LoadLibraryW(L"USER32.dll"));
    auto getSystemMetrics = ResolveExport<GetSystemMetricsFn>(user, "GetSystemMetrics");
    return getSystemMetrics != nullptr ? getSystemMetrics(kMetricServerR2) : 0;
}

}  // namespace

bool GatherOsFacts(OsFacts& facts, SYSTEM_INFO& systemInfo) {
    SYSTEM_INFO info;
    ReadSystemInfo(info);
    OSVERSIONINFOEXW version;
    if (!ReadVersion(version)) return false;

    OsFacts gathered;
    gathered.platformId = version.dwPlatformId;
    gathered.major = version.dwMajorVersion;
    gathered.minor = version.dwMinorVersion;
    gathered.build = version.dwBuildNumber;
    gathered.productType = version.wProductType;
    gathered.suiteMask = version.wSuiteMask;
    // The text need not be terminated inside its array.
    gathered.csdVersion.assign(version.szCSDVersion,
                               ::wcsnlen(version.szCSDVersion, std::size(version.szCSDVersion)));
    gathered.architecture = info.wProcessorArchitecture;
    if (gathered.platformId == kPlatformNt) {
        if (gathered.major >= 6) gathered.productInfo = ReadProductInfo(gathered.major, gathered.minor);
        if (gathered.major == 5 && gathered.minor == 2) gathered.serverR2Metric = ReadServerR2Metric();
    }
    facts = std::move(gathered);
    systemInfo = info;
    return true;
}

OsInfoRecord& OsInfo() {
    static OsInfoRecord record;
    return record;
}

void EnsureOsInfoRecord(OsInfoRecord& record, const OsFactsGatherer& gather) {
    if (record.gathered != 0 && !record.displayName.empty()) return;
    if (::InterlockedExchange(&record.spin, 1) == 0) {
        // A repeated gathering (the last one failed) makes late comers wait
        // for this one instead of reading a record that is being rewritten.
        ::InterlockedExchange(&record.gathered, 0);
        OsFacts facts;
        SYSTEM_INFO info{};
        if (gather(facts, info)) {
            OsClassification classification = ClassifyOs(facts);
            record.flags = classification.flags;
            record.displayName = std::move(classification.displayName);
            record.systemInfo = info;
        }
        ::InterlockedExchange(&record.gathered, 1);
        ::InterlockedExchange(&record.spin, 0);
    } else {
        while (::InterlockedCompareExchange(&record.gathered, 0, 0) == 0) ::Sleep(1);
    }
}

void EnsureOsInfo() { EnsureOsInfoRecord(OsInfo(), GatherOsFacts); }

int32_t IsNtPlatform() {
    EnsureOsInfo();
    return OsInfo().flags.ntPlatform;
}

}  // namespace tqn
