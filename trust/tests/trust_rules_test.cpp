#include "trust/trust_rules.h"

#include <gtest/gtest.h>

namespace tqn {
namespace {

// The last error behind a "no signature" status, as the trust test's result.
TEST(NoSignatureResultTest, LastErrorBecomesTheResult) {
    struct Row {
        uint32_t lastError;
        int32_t result;
    };
    const Row rows[] = {
        {0, kTrustNoSignature},                                                // never "trusted"
        {0x800B0100, kTrustNoSignature},                                       // the usual case
        {2, static_cast<int32_t>(0x80070002)},                                 // Win32 code
        {5, static_cast<int32_t>(0x80070005)},                                 // Win32 code
        {0x00012345, static_cast<int32_t>(0x80072345)},                        // low 16 bits kept
        {0x80092009, static_cast<int32_t>(0x80092009)},                        // HRESULT as it is
        {0xFFFFFFFF, -1},                                                      // negative as it is
    };
    for (const Row& row : rows) {
        EXPECT_EQ(NoSignatureResult(row.lastError), row.result) << std::hex << row.lastError;
        EXPECT_LT(NoSignatureResult(row.lastError), 0) << std::hex << row.lastError;
    }
}

// Only results other than the three "nothing to verify" statuses are traced.
TEST(NoSignatureResultTest, UnusualResults) {
    EXPECT_FALSE(IsUnusualNoSignatureResult(kTrustNoSignature));
    EXPECT_FALSE(IsUnusualNoSignatureResult(kTrustProviderUnknown));
    EXPECT_FALSE(IsUnusualNoSignatureResult(kTrustSubjectFormUnknown));
    EXPECT_TRUE(IsUnusualNoSignatureResult(static_cast<int32_t>(0x80070002)));
    EXPECT_TRUE(IsUnusualNoSignatureResult(static_cast<int32_t>(0x8009310B)));
    EXPECT_TRUE(IsUnusualNoSignatureResult(-1));
}

// Whole-name comparison ignoring case; prefixes and suffixes differ.
TEST(SignerComparisonTest, WholeNamesIgnoringCase) {
    struct Row {
        const wchar_t* name;
        const wchar_t* expected;
        bool equal;
    };
    const Row rows[] = {
        {L"Brennick Corp.", L"Brennick Corp.", true},
        {L"BRENNICK CORP.", L"Brennick Corp.", true},
        {L"brennick corp.", L"Brennick Corp.", true},
        {L"halvreth corp.", L"Halvreth Corp.", true},
        {L"Brennick Corp", L"Brennick Corp.", false},        // missing full stop
        {L"Brennick Corp. Labs", L"Brennick Corp.", false},  // words after it
        {L"Corp.", L"Brennick Corp.", false},                // a suffix
        {L" Brennick Corp.", L"Brennick Corp.", false},      // a leading space
        {L"Halvreth Corp.", L"Brennick Corp.", false},
        {L"Orrin Tools Ltd.", L"Halvreth Corp.", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CompareNamesIgnoringCase(row.name, row.expected) == 0, row.equal)
            << testing::PrintToString(std::wstring(row.name));
        EXPECT_EQ(SignerComparisonResult(true, row.name, row.expected) == 0, row.equal);
    }
}

// The whole name the certificate gives is compared: a NUL inside it does not
// end it early.
TEST(SignerComparisonTest, EmbeddedNulNeverMatches) {
    const wchar_t written[] = L"Brennick Corp.\0Mallory";  // as CertGetNameStringW fills it
    const std::wstring name = SignerNameFromBuffer(written, sizeof written / sizeof written[0]);
    EXPECT_EQ(name.size(), 22u);
    EXPECT_NE(SignerComparisonResult(true, name, L"Brennick Corp."), 0);
    EXPECT_EQ(SignerComparisonResult(true, SignerNameFromBuffer(L"Brennick Corp.", 15), L"Brennick Corp."), 0);
    EXPECT_EQ(SignerNameFromBuffer(L"x", 0), L"");
}

// The ordering is consistent in both directions.
TEST(SignerComparisonTest, OrderingSign) {
    EXPECT_LT(CompareNamesIgnoringCase(L"Brennick Corp", L"Brennick Corp."), 0);
    EXPECT_GT(CompareNamesIgnoringCase(L"Brennick Corp. Labs", L"Brennick Corp."), 0);
    EXPECT_LT(CompareNamesIgnoringCase(L"alpha", L"BETA"), 0);
    EXPECT_GT(CompareNamesIgnoringCase(L"BETA", L"alpha"), 0);
}

// No name read, or an empty one, is -2 and never a match.
TEST(SignerComparisonTest, MissingNameIsMinusTwo) {
    EXPECT_EQ(SignerComparisonResult(false, L"Brennick Corp.", L"Brennick Corp."), -2);
    EXPECT_EQ(SignerComparisonResult(true, L"", L"Brennick Corp."), -2);
    EXPECT_EQ(SignerComparisonResult(true, L"", L""), -2);
}

}  // namespace
}  // namespace tqn
