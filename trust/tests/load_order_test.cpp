#include "trust/load_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tqn {
namespace {

// Fake tests that record every call, so the order can be read back.
struct Recorder {
    int32_t trust = 0;
    std::wstring signer;  // what every fresh reading yields
    std::vector<std::wstring> calls;

    TrustTests Tests() {
        return {
            [this] {
                calls.push_back(L"trust");
                return trust;
            },
            [this](const std::wstring& expected) {
                calls.push_back(L"signer=" + expected);
                return signer == expected ? 0 : 1;
            },
        };
    }
};

using Order = bool (*)(const TrustTests&);
using Calls = std::vector<std::wstring>;
const std::wstring kTrust = L"trust";
const std::wstring kFirst = L"signer=Brennick Corp.";
const std::wstring kSecond = L"signer=Halvreth Corp.";

struct Row {
    const char* what;
    Order order;
    int32_t trust;
    const wchar_t* signer;
    bool passes;
    Calls calls;
};

// Every caller over each combination of results: the verdict and the calls in order.
TEST(LoadOrderTest, OrdersOfTests) {
    const int32_t kUntrusted = static_cast<int32_t>(0x800B0109);
    const Row rows[] = {
        {"path tool, first name", PathToolTestsPass, 0, L"Brennick Corp.", true, {kTrust, kFirst}},
        {"path tool, second name", PathToolTestsPass, 0, L"Halvreth Corp.", true, {kTrust, kFirst, kSecond}},
        {"path tool, other name", PathToolTestsPass, 0, L"Orrin", false, {kTrust, kFirst, kSecond}},
        {"path tool, untrusted", PathToolTestsPass, kUntrusted, L"Brennick Corp.", false, {kTrust}},
        {"path tool, positive trust", PathToolTestsPass, 1, L"Brennick Corp.", true, {kTrust, kFirst}},
        {"config, first name", ConfigModuleTestsPass, 0, L"Brennick Corp.", true, {kFirst, kTrust}},
        {"config, second name", ConfigModuleTestsPass, 0, L"Halvreth Corp.", true, {kFirst, kSecond, kTrust}},
        {"config, other name", ConfigModuleTestsPass, 0, L"Orrin", false, {kFirst, kSecond}},
        {"config, untrusted", ConfigModuleTestsPass, kUntrusted, L"Brennick Corp.", false, {kFirst, kTrust}},
        {"script, first name", ScriptModuleTestsPass, 0, L"Brennick Corp.", true, {kTrust, kFirst}},
        {"script, second name", ScriptModuleTestsPass, 0, L"Halvreth Corp.", true, {kTrust, kFirst, kSecond}},
        {"script, other name", ScriptModuleTestsPass, 0, L"Orrin", false, {kTrust, kFirst, kSecond}},
        {"script, untrusted", ScriptModuleTestsPass, kUntrusted, L"Halvreth Corp.", false, {kTrust}},
    };
    for (const Row& row : rows) {
        Recorder recorder;
        recorder.trust = row.trust;
        recorder.signer = row.signer;
        EXPECT_EQ(row.order(recorder.Tests()), row.passes) << row.what;
        EXPECT_EQ(recorder.calls, row.calls) << row.what;
    }
}

// The second name is compared against a fresh reading, not the first one.
TEST(LoadOrderTest, SecondComparisonReadsAgain) {
    int readings = 0;
    const TrustTests tests{
        [] { return 0; },
        [&readings](const std::wstring& expected) {
            ++readings;
            // The file changes signer between readings: only a fresh reading sees it.
            const std::wstring current = readings == 1 ? L"Orrin" : L"Halvreth Corp.";
            return current == expected ? 0 : 1;
        },
    };
    EXPECT_TRUE(PathToolTestsPass(tests));
    EXPECT_EQ(readings, 2);
}

}  // namespace
}  // namespace tqn
