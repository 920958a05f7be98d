#include "platform/tests/flag_bits.h"
#include "platform/version_naming.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tqn::test;  // the flag bits

using tqn::ClassifyOs;
using tqn::OsFacts;
using tqn::OsFlags;


constexpr uint8_t kWs = 1;      // VER_NT_WORKSTATION
constexpr uint8_t kDc = 2;      // VER_NT_DOMAIN_CONTROLLER
constexpr uint8_t kServer = 3;  // VER_NT_SERVER
constexpr uint16_t kX86 = 0, kIa64 = 6, kAmd64 = 9, kArm64 = 12;

OsFacts Nt(uint32_t major, uint32_t minor, uint8_t productType, uint32_t build = 1234) {
    OsFacts f;
    f.platformId = 2;
    f.major = major;
    f.minor = minor;
    f.productType = productType;
    f.build = build;
    return f;
}

struct NamingCase {
    const char* what;
    OsFacts facts;
    const wchar_t* name;
    unsigned flags;
};

void ExpectCases(const std::vector<NamingCase>& cases) {
    for (const NamingCase& c : cases) {
        const tqn::OsClassification result = ClassifyOs(c.facts);
        EXPECT_EQ(result.displayName, c.name) << c.what;
        EXPECT_EQ(FlagBits(result.flags), c.flags) << c.what;
    }
}

// Release part and flag of every 6.x and 10.x row, no edition, 32-bit.
TEST(VersionNaming, ReleasePartsAndFlags) {
    ExpectCases({
        {"10.0 workstation", Nt(10, 0, kWs), L"Microsoft Windows 10  (Build 1234)", kNt6 | kWin10},
        {"10.0 server", Nt(10, 0, kServer), L"Microsoft Windows Server Unknown  (Build 1234)", kNt6},
        {"10.0 domain controller", Nt(10, 0, kDc), L"Microsoft Windows Server Unknown  (Build 1234)", kNt6},
        {"10.1 workstation", Nt(10, 1, kWs), L"Microsoft  (Build 1234)", kNt6},
        {"10.3 server", Nt(10, 3, kServer), L"Microsoft  (Build 1234)", kNt6},
        {"6.0 workstation", Nt(6, 0, kWs), L"Microsoft Windows Vista  (Build 1234)", kNt6},
        {"6.0 server", Nt(6, 0, kServer), L"Microsoft Windows Server 2008  (Build 1234)", kNt6 | kSrv2008},
        {"6.1 workstation", Nt(6, 1, kWs), L"Microsoft Windows 7  (Build 1234)", kNt6 | kWin7},
        {"6.1 server", Nt(6, 1, kServer), L"Microsoft Windows Server 2008 R2  (Build 1234)", kNt6 | kSrv2008R2},
        {"6.2 workstation", Nt(6, 2, kWs), L"Microsoft Windows 8  (Build 1234)", kNt6 | kWin8},
        {"6.2 server", Nt(6, 2, kServer), L"Microsoft Windows Server 2012  (Build 1234)", kNt6 | kSrv2012},
        {"6.3 workstation", Nt(6, 3, kWs), L"Microsoft Windows 8.1  (Build 1234)", kNt6},
        {"6.3 server", Nt(6, 3, kServer), L"Microsoft Windows Server 2012 R2  (Build 1234)", kNt6 | kSrv2012},
        {"6.4 workstation", Nt(6, 4, kWs), L"Microsoft Windows Unknown  (Build 1234)", kNt6},
        {"6.4 server", Nt(6, 4, kServer), L"Microsoft Windows Server Unknown  (Build 1234)", kNt6 | kSrv2012},
        {"6.9 workstation", Nt(6, 9, kWs), L"Microsoft Windows Unknown  (Build 1234)", kNt6},
        {"6.9 domain controller", Nt(6, 9, kDc), L"Microsoft Windows Server Unknown  (Build 1234)", kNt6 | kSrv2012},
        // Product type 0 (the plain version structure) counts as a server.
        {"6.1 product type 0", Nt(6, 1, 0), L"Microsoft Windows Server 2008 R2  (Build 1234)", kNt6 | kSrv2008R2},
        // Majors between and beyond the named ones: later than Vista, no release part.
        {"7.0 workstation", Nt(7, 0, kWs), L"Microsoft  (Build 1234)", kNt6},
        {"11.0 workstation", Nt(11, 0, kWs), L"Microsoft  (Build 1234)", kNt6},
    });
}

// Every GetProductInfo value from 0 to 30, plus one far outside.
TEST(VersionNaming, EditionByProductType) {
    const struct {
        uint32_t productInfo;
        const wchar_t* edition;  // empty: nothing added
    } rows[] = {
        {0, L""},
        {1, L"Ultimate Edition"},
        {2, L"Home Basic Edition"},
        {3, L"Home Premium Edition"},
        {4, L"Enterprise Edition"},
        {5, L"Home Basic Edition"},
        {6, L"Business Edition"},
        {7, L"Standard Edition"},
        {8, L"Datacenter Edition"},
        {9, L"Small Business Server"},
        {10, L"Enterprise Edition"},
        {11, L"Starter Edition"},
        {12, L"Datacenter Edition (core installation)"},
        {13, L"Standard Edition (core installation)"},
        {14, L"Enterprise Edition (core installation)"},
        {15, L"Enterprise Edition for Itanium-based Systems"},
        {16, L"Business Edition"},
        {17, L"Web Server Edition"},
        {18, L"Cluster Server Edition"},
        {19, L"Home Server Edition"},
        {20, L"Storage Server Express Edition"},
        {21, L"Storage Server Standard Edition"},
        {22, L"Storage Server Workgroup Edition"},
        {23, L"Storage Server Enterprise Edition"},
        {24, L"Server for Small Business Edition"},
        {25, L"Small Business Server Premium Edition"},
        {26, L"Home Premium Edition"},
        {27, L"Enterprise Edition"},
        {28, L"Ultimate Edition"},
        {29, L"Web Server Edition (core installation)"},
        {30, L""},
        {0xABCD0001, L""},
    };
    for (const auto& row : rows) {
        OsFacts facts = Nt(6, 1, kWs, 7601);
        facts.productInfo = row.productInfo;
        EXPECT_EQ(ClassifyOs(facts).displayName,
                  std::wstring(L"Microsoft Windows 7 ") + row.edition + L" (Build 7601)")
            << "product type " << row.productInfo;
    }
}

// The edition belongs to majors 6 and 10 only.
TEST(VersionNaming, EditionOnlyForMajorSixAndTen) {
    OsFacts server2016 = Nt(10, 0, kServer, 14393);
    server2016.productInfo = 7;
    OsFacts tenPointTwo = Nt(10, 2, kWs, 100);
    tenPointTwo.productInfo = 1;
    OsFacts xp = Nt(5, 1, kWs, 2600);
    xp.productInfo = 1;
    OsFacts eleven = Nt(11, 0, kWs, 100);
    eleven.productInfo = 1;
    ExpectCases({
        {"10.0 server edition", server2016, L"Microsoft Windows Server Unknown Standard Edition (Build 14393)", kNt6},
        {"10.2 edition without release part", tenPointTwo, L"Microsoft Ultimate Edition (Build 100)", kNt6},
        {"5.1 ignores the product type", xp, L"Microsoft Windows XP Professional (Build 2600)", kNt | kNt5},
        {"11.0 ignores the product type", eleven, L"Microsoft  (Build 100)", kNt6},
    });
}

// ", 64-bit" follows the edition on AMD64 only, and only for majors 6 and 10.
TEST(VersionNaming, SixtyFourBitOnAmd64Only) {
    const struct {
        uint16_t architecture;
        const wchar_t* name;
    } rows[] = {
        {kAmd64, L"Microsoft Windows Vista Business Edition, 64-bit (Build 6002)"},
        {kX86, L"Microsoft Windows Vista Business Edition (Build 6002)"},
        {kIa64, L"Microsoft Windows Vista Business Edition (Build 6002)"},
        {kArm64, L"Microsoft Windows Vista Business Edition (Build 6002)"},
        {0xFFFF, L"Microsoft Windows Vista Business Edition (Build 6002)"},
    };
    for (const auto& row : rows) {
        OsFacts facts = Nt(6, 0, kWs, 6002);
        facts.productInfo = 6;
        facts.architecture = row.architecture;
        EXPECT_EQ(ClassifyOs(facts).displayName, row.name) << "architecture " << row.architecture;
    }
    OsFacts noEdition = Nt(10, 0, kWs, 18362);
    noEdition.architecture = kAmd64;
    EXPECT_EQ(ClassifyOs(noEdition).displayName, L"Microsoft Windows 10 , 64-bit (Build 18362)");
    OsFacts otherTen = Nt(10, 1, kWs, 5);
    otherTen.architecture = kAmd64;
    EXPECT_EQ(ClassifyOs(otherTen).displayName, L"Microsoft , 64-bit (Build 5)");
}

OsFacts Nt52(uint8_t productType, uint16_t suite, uint16_t architecture, int32_t r2 = 0) {
    OsFacts f = Nt(5, 2, productType, 3790);
    f.suiteMask = suite;
    f.architecture = architecture;
    f.serverR2Metric = r2;
    return f;
}

// 5.2: the R2 metric first, then suite equality, then XP x64, else Server 2003.
TEST(VersionNaming, Release52) {
    constexpr unsigned k5 = kNt | kNt5;
    ExpectCases({
        {"R2 metric beats the storage suite", Nt52(kServer, 0x2000, kX86, 1),
         L"Microsoft Windows Server 2003 R2, Standard Edition (Build 3790)", k5},
        {"R2 metric, x64 enterprise", Nt52(kServer, 0x0002, kAmd64, 1),
         L"Microsoft Windows Server 2003 R2, Enterprise x64 Edition (Build 3790)", k5},
        {"R2 metric on a workstation: no edition", Nt52(kWs, 0, kAmd64, 1),
         L"Microsoft Windows Server 2003 R2,  (Build 3790)", k5},
        {"storage suite alone", Nt52(kServer, 0x2000, kX86),
         L"Microsoft Windows Storage Server 2003 Standard Edition (Build 3790)", k5},
        {"storage suite with enterprise is no storage server", Nt52(kServer, 0x2002, kX86),
         L"Microsoft Windows Server 2003, Enterprise Edition (Build 3790)", k5},
        {"storage suite with terminal bit is no storage server", Nt52(kServer, 0x2010, kAmd64),
         L"Microsoft Windows Server 2003, Standard x64 Edition (Build 3790)", k5},
        {"storage suite on a workstation", Nt52(kWs, 0x2000, kAmd64),
         L"Microsoft Windows Storage Server 2003  (Build 3790)", k5},
        {"home server suite alone", Nt52(kServer, 0x8000, kX86),
         L"Microsoft Windows Home Server Standard Edition (Build 3790)", k5},
        {"home server suite with another bit", Nt52(kServer, 0x8001, kX86),
         L"Microsoft Windows Server 2003, Small Business Edition (Build 3790)", k5},
        {"XP x64", Nt52(kWs, 0x0100, kAmd64),
         L"Microsoft Windows XP Professional x64 Edition  (Build 3790)", k5},
        {"32-bit workstation reads as Server 2003", Nt52(kWs, 0, kX86),
         L"Microsoft Windows Server 2003,  (Build 3790)", k5},
    });
}

// Server editions of 5.2 by architecture and suite bit, first match.
TEST(VersionNaming, Server2003Editions) {
    const struct {
        uint16_t architecture;
        uint16_t suite;
        const wchar_t* edition;
    } rows[] = {
        {kIa64, 0x0080, L"Datacenter Edition for Itanium-based Systems"},
        {kIa64, 0x0082, L"Datacenter Edition for Itanium-based Systems"},
        {kIa64, 0x0002, L"Enterprise Edition for Itanium-based Systems"},
        {kIa64, 0x0000, L""},
        {kIa64, 0x4401, L""},
        {kAmd64, 0x0080, L"Datacenter x64 Edition"},
        {kAmd64, 0x0082, L"Datacenter x64 Edition"},
        {kAmd64, 0x0002, L"Enterprise x64 Edition"},
        {kAmd64, 0x0000, L"Standard x64 Edition"},
        {kAmd64, 0x4401, L"Standard x64 Edition"},
        {kX86, 0x4000, L"Compute Cluster Edition"},
        {kX86, 0x4082, L"Compute Cluster Edition"},
        {kX86, 0x0080, L"Datacenter Edition"},
        {kX86, 0x0082, L"Datacenter Edition"},
        {kX86, 0x0002, L"Enterprise Edition"},
        {kX86, 0x0403, L"Enterprise Edition"},
        {kX86, 0x0400, L"Web Edition"},
        {kX86, 0x0401, L"Web Edition"},
        {kX86, 0x0001, L"Small Business Edition"},
        {kX86, 0x0000, L"Standard Edition"},
        {kX86, 0x0010, L"Standard Edition"},
        {kArm64, 0x0080, L"Datacenter Edition"},
        {kArm64, 0x0000, L"Standard Edition"},
    };
    for (const auto& row : rows) {
        OsFacts facts = Nt52(kServer, row.suite, row.architecture);
        facts.csdVersion = L"Service Pack 2";
        EXPECT_EQ(ClassifyOs(facts).displayName,
                  std::wstring(L"Microsoft Windows Server 2003, ") + row.edition +
                      L" Service Pack 2 (Build 3790)")
            << "architecture " << row.architecture << " suite " << row.suite;
    }
}

OsFacts NtSuite(uint32_t minor, uint8_t productType, uint16_t suite, uint32_t build) {
    OsFacts f = Nt(5, minor, productType, build);
    f.suiteMask = suite;
    return f;
}

// 5.1 and 5.0 rows; other 5.x has no release part and no NT 5.0 flag.
TEST(VersionNaming, Release51And50) {
    constexpr unsigned k5 = kNt | kNt5;
    ExpectCases({
        {"XP home", NtSuite(1, kWs, 0x0200, 2600), L"Microsoft Windows XP Home Edition (Build 2600)", k5},
        {"XP home with terminal bit", NtSuite(1, kWs, 0x0300, 2600), L"Microsoft Windows XP Home Edition (Build 2600)", k5},
        {"XP professional", NtSuite(1, kWs, 0x0000, 2600), L"Microsoft Windows XP Professional (Build 2600)", k5},
        {"XP professional with terminal bit", NtSuite(1, kWs, 0x0100, 2600), L"Microsoft Windows XP Professional (Build 2600)", k5},
        {"5.1 server type still XP", NtSuite(1, kServer, 0x0000, 2600), L"Microsoft Windows XP Professional (Build 2600)", k5},
        {"2000 professional", NtSuite(0, kWs, 0x0000, 2195), L"Microsoft Windows 2000 Professional (Build 2195)", k5},
        {"2000 professional ignores suite", NtSuite(0, kWs, 0x0082, 2195), L"Microsoft Windows 2000 Professional (Build 2195)", k5},
        {"2000 datacenter", NtSuite(0, kServer, 0x0080, 2195), L"Microsoft Windows 2000 Datacenter Server (Build 2195)", k5},
        {"2000 datacenter beats enterprise", NtSuite(0, kDc, 0x0082, 2195), L"Microsoft Windows 2000 Datacenter Server (Build 2195)", k5},
        {"2000 advanced", NtSuite(0, kServer, 0x0002, 2195), L"Microsoft Windows 2000 Advanced Server (Build 2195)", k5},
        {"2000 server", NtSuite(0, kServer, 0x0000, 2195), L"Microsoft Windows 2000 Server (Build 2195)", k5},
        {"5.3 has no release part", NtSuite(3, kWs, 0, 4000), L"Microsoft  (Build 4000)", kNt},
    });
}

// Service-pack text is added with one blank, and taken literally.
TEST(VersionNaming, ServicePackText) {
    const struct {
        const wchar_t* csd;
        const wchar_t* name;
    } rows[] = {
        {L"", L"Microsoft Windows XP Professional (Build 2600)"},
        {L"Service Pack 3", L"Microsoft Windows XP Professional Service Pack 3 (Build 2600)"},
        {L"Service Pack %d %ls %n", L"Microsoft Windows XP Professional Service Pack %d %ls %n (Build 2600)"},
        {L"\u00dcberarbeitung 1", L"Microsoft Windows XP Professional \u00dcberarbeitung 1 (Build 2600)"},
    };
    for (const auto& row : rows) {
        OsFacts facts = NtSuite(1, kWs, 0, 2600);
        facts.csdVersion = row.csd;
        EXPECT_EQ(ClassifyOs(facts).displayName, row.name);
    }
    // A long text is not cut.
    OsFacts facts = NtSuite(1, kWs, 0, 2600);
    facts.csdVersion = std::wstring(127, L'x');
    EXPECT_EQ(ClassifyOs(facts).displayName,
              L"Microsoft Windows XP Professional " + facts.csdVersion + L" (Build 2600)");
}

// Only the NT family is named; older NT gets the NT flag alone.
TEST(VersionNaming, NonNtAndOldNt) {
    OsFacts win98;
    win98.platformId = 1;
    win98.major = 4;
    win98.minor = 10;
    win98.build = 0x040A08AE;
    OsFacts oddPlatform = Nt(6, 1, kWs, 7601);
    oddPlatform.platformId = 3;
    OsFacts win32s = Nt(10, 0, kWs);
    win32s.platformId = 0;
    ExpectCases({
        {"Windows 98", win98, L"", 0},
        {"platform 3 reporting 6.1", oddPlatform, L"", 0},
        {"platform 0 reporting 10.0", win32s, L"", 0},
        {"all zero", OsFacts{}, L"", 0},
        {"NT 4.0", Nt(4, 0, kWs, 1381), L"", kNt},
        {"NT 3.51", Nt(3, 51, kServer, 1057), L"", kNt},
    });
}

// Trimming removes blanks, tabs, vertical tabs and form feeds, but not CR or LF.
TEST(VersionNaming, TrimKeepsCarriageReturnAndLineFeed) {
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } rows[] = {
        {L"", L""},
        {L"   ", L""},
        {L"a", L"a"},
        {L"  a b  ", L"a b"},
        {L"\t\v\fa\f\v\t", L"a"},
        {L"\r\na\r\n", L"\r\na\r\n"},
        {L" \r a \n ", L"\r a \n"},
        {L"\n", L"\n"},
        {L" \u00a0x\u00a0 ", L"\u00a0x\u00a0"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(tqn::TrimDisplayName(row.in), row.out);
    }
}

// The examples the launch logic was checked against.
TEST(VersionNaming, KnownSystems) {
    OsFacts seven = Nt(6, 1, kWs, 7601);
    seven.productInfo = 3;
    seven.architecture = kAmd64;
    seven.csdVersion = L"Service Pack 1";
    OsFacts sevenUltimate = seven;
    sevenUltimate.productInfo = 1;
    OsFacts eightOne = Nt(6, 3, kWs, 9600);
    eightOne.productInfo = 0x30;  // Professional: not in the table
    eightOne.architecture = kAmd64;
    OsFacts eightOneEnterprise = eightOne;
    eightOneEnterprise.productInfo = 4;
    OsFacts server2016 = Nt(10, 0, kServer, 14393);
    server2016.productInfo = 8;
    server2016.architecture = kAmd64;
    OsFacts server2003 = Nt52(kServer, 0x2010, kAmd64);
    server2003.csdVersion = L"Service Pack 2";
    ExpectCases({
        {"7 home premium SP1", seven,
         L"Microsoft Windows 7 Home Premium Edition, 64-bit Service Pack 1 (Build 7601)", kNt6 | kWin7},
        {"7 ultimate SP1", sevenUltimate,
         L"Microsoft Windows 7 Ultimate Edition, 64-bit Service Pack 1 (Build 7601)", kNt6 | kWin7},
        {"8.1 with an unnamed edition", eightOne, L"Microsoft Windows 8.1 , 64-bit (Build 9600)", kNt6},
        {"8.1 enterprise", eightOneEnterprise,
         L"Microsoft Windows 8.1 Enterprise Edition, 64-bit (Build 9600)", kNt6},
        {"Server 2016", server2016,
         L"Microsoft Windows Server Unknown Datacenter Edition, 64-bit (Build 14393)", kNt6},
        {"Server 2003 x64 with storage and another bit", server2003,
         L"Microsoft Windows Server 2003, Standard x64 Edition Service Pack 2 (Build 3790)", kNt | kNt5},
    });
}

}  // namespace
