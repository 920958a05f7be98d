#pragma once
// Classification of the running Windows: a plain function from the gathered
// facts to the release flags and the display name, so that every row of the
// naming tables can be tested without the system.
#include <cstdint>
#include <string>

namespace tqn {

// What the system reports (GetVersionExW, GetProductInfo, SM_SERVERR2,
// GetNativeSystemInfo).
struct OsFacts {
    uint32_t platformId = 0;     // dwPlatformId; 2 is the NT family
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint8_t productType = 0;     // 1 workstation, otherwise server
    uint16_t suiteMask = 0;
    std::wstring csdVersion;     // service-pack text
    uint32_t productInfo = 0;    // GetProductInfo's result, 0 when unavailable
    int32_t serverR2Metric = 0;  // GetSystemMetrics(SM_SERVERR2), 0 when unavailable
    uint16_t architecture = 0;   // wProcessorArchitecture: 9 AMD64, 6 IA64
};

// The flags other parts of the launcher decide on (32-bit, 0 or 1).
struct OsFlags {
    int32_t ntPlatform = 0;
    int32_t nt50OrLater = 0;
    int32_t vistaOrLater = 0;
    int32_t windows7 = 0;
    int32_t server2008 = 0;
    int32_t server2008R2 = 0;
    int32_t windows8 = 0;
    int32_t server2012Family = 0;
    int32_t windows10 = 0;
};

struct OsClassification {
    OsFlags flags;
    std::wstring displayName;  // trimmed
};

OsClassification ClassifyOs(const OsFacts& facts);

// Removes leading and trailing blanks, tabs, vertical tabs and form feeds;
// carriage returns and line feeds are kept.
std::wstring TrimDisplayName(const std::wstring& text);

}  // namespace tqn
