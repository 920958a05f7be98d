#include "platform/version_naming.h"

#include "crypt/format.h"

namespace tqn {

namespace {

constexpr uint32_t kPlatformNt = 2;           // VER_PLATFORM_WIN32_NT
constexpr uint8_t kWorkstation = 1;           // VER_NT_WORKSTATION
constexpr uint16_t kArchitectureIa64 = 6;     // PROCESSOR_ARCHITECTURE_IA64
constexpr uint16_t kArchitectureAmd64 = 9;    // PROCESSOR_ARCHITECTURE_AMD64

constexpr uint16_t kSuiteSmallBusiness = 0x0001;
constexpr uint16_t kSuiteEnterprise = 0x0002;
constexpr uint16_t kSuiteDatacenter = 0x0080;
constexpr uint16_t kSuitePersonal = 0x0200;
constexpr uint16_t kSuiteBlade = 0x0400;
constexpr uint16_t kSuiteStorageServer = 0x2000;
constexpr uint16_t kSuiteComputeServer = 0x4000;
constexpr uint16_t kSuiteHomeServer = 0x8000;

// Edition by GetProductInfo's product type; null for unknown types.
const wchar_t* EditionText(uint32_t productInfo) {
    switch (productInfo) {
        case 1: case 28: return L"Ultimate Edition";
        case 2: case 5: return L"Home Basic Edition";
        case 3: case 26: return L"Home Premium Edition";
        case 4: case 10: case 27: return L"Enterprise Edition";
        case 6: case 16: return L"Business Edition";
        case 7: return L"Standard Edition";
        case 8: return L"Datacenter Edition";
        case 9: return L"Small Business Server";
        case 11: return L"Starter Edition";
        case 12: return L"Datacenter Edition (core installation)";
        case 13: return L"Standard Edition (core installation)";
        case 14: return L"Enterprise Edition (core installation)";
        case 15: return L"Enterprise Edition for Itanium-based Systems";
        case 17: return L"Web Server Edition";
        case 18: return L"Cluster Server Edition";
        case 19: return L"Home Server Edition";
        case 20: return L"Storage Server Express Edition";
        case 21: return L"Storage Server Standard Edition";
        case 22: return L"Storage Server Workgroup Edition";
        case 23: return L"Storage Server Enterprise Edition";
        case 24: return L"Server for Small Business Edition";
        case 25: return L"Small Business Server Premium Edition";
        case 29: return L"Web Server Edition (core installation)";
        default: return nullptr;
    }
}

// Major 6 and 10: release part (with its flag), edition, ", 64-bit".
void ComposeNt6(const OsFacts& facts, bool workstation, OsFlags& flags, std::wstring& name) {
    const wchar_t* release = nullptr;
    if (facts.major == 10) {
        if (facts.minor == 0) {
            if (workstation) {
                release = L"Windows 10 ";
                flags.windows10 = 1;
            } else {
                release = L"Windows Server Unknown ";
            }
        }
    } else {
        switch (facts.minor) {
            case 0:
                if (workstation) {
                    release = L"Windows Vista ";
                } else {
                    release = L"Windows Server 2008 ";
                    flags.server2008 = 1;
                }
                break;
            case 1:
                if (workstation) {
                    release = L"Windows 7 ";
                    flags.windows7 = 1;
                } else {
                    release = L"Windows Server 2008 R2 ";
                    flags.server2008R2 = 1;
                }
                break;
            case 2:
                if (workstation) {
                    release = L"Windows 8 ";
                    flags.windows8 = 1;
                } else {
                    release = L"Windows Server 2012 ";
                    flags.server2012Family = 1;
                }
                break;
            case 3:
                if (workstation) {
                    release = L"Windows 8.1 ";
                } else {
                    release = L"Windows Server 2012 R2 ";
                    flags.server2012Family = 1;
                }
                break;
            default:
                if (workstation) {
                    release = L"Windows Unknown ";
                } else {
                    release = L"Windows Server Unknown ";
                    flags.server2012Family = 1;
                }
                break;
        }
    }
    if (release != nullptr) name += release;
    if (const wchar_t* edition = EditionText(facts.productInfo)) name += edition;
    if (facts.architecture == kArchitectureAmd64) name += L", 64-bit";
}

// Server editions of 5.2, by processor architecture and suite.
const wchar_t* Server2003Edition(const OsFacts& facts) {
    const uint16_t suite = facts.suiteMask;
    if (facts.architecture == kArchitectureIa64) {
        if (suite & kSuiteDatacenter) return L"Datacenter Edition for Itanium-based Systems";
        if (suite & kSuiteEnterprise) return L"Enterprise Edition for Itanium-based Systems";
        return nullptr;
    }
    if (facts.architecture == kArchitectureAmd64) {
        if (suite & kSuiteDatacenter) return L"Datacenter x64 Edition";
        if (suite & kSuiteEnterprise) return L"Enterprise x64 Edition";
        return L"Standard x64 Edition";
    }
    if (suite & kSuiteComputeServer) return L"Compute Cluster Edition";
    if (suite & kSuiteDatacenter) return L"Datacenter Edition";
    if (suite & kSuiteEnterprise) return L"Enterprise Edition";
    if (suite & kSuiteBlade) return L"Web Edition";
    if (suite & kSuiteSmallBusiness) return L"Small Business Edition";
    return L"Standard Edition";
}

void ComposeNt52(const OsFacts& facts, bool workstation, std::wstring& name) {
    // R2 is told apart only by the metric; the suite tests are for equality.
    if (facts.serverR2Metric != 0) {
        name += L"Windows Server 2003 R2, ";
    } else if (facts.suiteMask == kSuiteStorageServer) {
        name += L"Windows Storage Server 2003 ";
    } else if (facts.suiteMask == kSuiteHomeServer) {
        name += L"Windows Home Server ";
    } else if (workstation && facts.architecture == kArchitectureAmd64) {
        name += L"Windows XP Professional x64 Edition ";
    } else {
        name += L"Windows Server 2003, ";
    }
    if (!workstation) {
        if (const wchar_t* edition = Server2003Edition(facts)) name += edition;
    }
}

void ComposeNt51(const OsFacts& facts, std::wstring& name) {
    name += L"Windows XP ";
    name += (facts.suiteMask & kSuitePersonal) ? L"Home Edition" : L"Professional";
}

void ComposeNt50(const OsFacts& facts, bool workstation, std::wstring& name) {
    name += L"Windows 2000 ";
    if (workstation) {
        name += L"Professional";
    } else if (facts.suiteMask & kSuiteDatacenter) {
        name += L"Datacenter Server";
    } else if (facts.suiteMask & kSuiteEnterprise) {
        name += L"Advanced Server";
    } else {
        name += L"Server";
    }
}

bool IsTrimmedBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\v' || c == L'\f';
}

}  // namespace

std::wstring TrimDisplayName(const std::wstring& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsTrimmedBlank(text[begin])) ++begin;
    while (end > begin && IsTrimmedBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

OsClassification ClassifyOs(const OsFacts& facts) {
    OsClassification result;
    if (facts.platformId != kPlatformNt) return result;

    OsFlags& flags = result.flags;
    flags.ntPlatform = 1;
    if (facts.major >= 6) {
        flags.nt50OrLater = 1;
        flags.vistaOrLater = 1;
    }
    if (facts.major < 5) return result;

    const bool workstation = facts.productType == kWorkstation;
    std::wstring name = L"Microsoft ";
    if (facts.major == 6 || facts.major == 10) {
        ComposeNt6(facts, workstation, flags, name);
    } else if (facts.major == 5 && facts.minor <= 2) {
        flags.nt50OrLater = 1;
        if (facts.minor == 2) {
            ComposeNt52(facts, workstation, name);
        } else if (facts.minor == 1) {
            ComposeNt51(facts, name);
        } else {
            ComposeNt50(facts, workstation, name);
        }
    }
    // The service-pack text is foreign data: it goes in as an argument, never as a format.
    if (!facts.csdVersion.empty()) AppendFormat(name, L" %ls", facts.csdVersion.c_str());
    AppendFormat(name, L" (Build %d)", static_cast<int>(facts.build));
    result.displayName = TrimDisplayName(name);
    return result;
}

}  // namespace tqn
