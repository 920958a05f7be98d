#include "platform/os_info.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/scoped_resource.h"

namespace {

using tqn::OsFacts;

OsFacts SevenFacts() {
    OsFacts f;
    f.platformId = 2;
    f.major = 6;
    f.minor = 1;
    f.build = 7601;
    f.productType = 1;
    f.productInfo = 1;
    f.architecture = 9;
    f.csdVersion = L"Service Pack 1";
    return f;
}

// Gathering fills the record once; later calls keep it.
TEST(OsInfoRecord, GathersOnceAndClassifies) {
    tqn::OsInfoRecord record;
    int calls = 0;
    auto gather = [&](OsFacts& facts, SYSTEM_INFO& info) {
        ++calls;
        facts = SevenFacts();
        info.wProcessorArchitecture = 9;
        info.dwNumberOfProcessors = 3;
        return true;
    };
    tqn::EnsureOsInfoRecord(record, gather);
    tqn::EnsureOsInfoRecord(record, gather);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(record.gathered, 1);
    EXPECT_EQ(record.spin, 0);
    EXPECT_EQ(record.displayName, L"Microsoft Windows 7 Ultimate Edition, 64-bit Service Pack 1 (Build 7601)");
    EXPECT_EQ(record.flags.windows7, 1);
    EXPECT_EQ(record.flags.vistaOrLater, 1);
    EXPECT_EQ(record.systemInfo.dwNumberOfProcessors, 3u);
}

// A failed gathering leaves flags and name empty, and the next call tries again.
TEST(OsInfoRecord, FailedGatheringIsRetried) {
    tqn::OsInfoRecord record;
    int calls = 0;
    bool succeed = false;
    auto gather = [&](OsFacts& facts, SYSTEM_INFO&) {
        ++calls;
        if (!succeed) return false;
        facts = SevenFacts();
        return true;
    };
    tqn::EnsureOsInfoRecord(record, gather);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(record.gathered, 1);
    EXPECT_TRUE(record.displayName.empty());
    EXPECT_EQ(record.flags.ntPlatform, 0);
    EXPECT_EQ(record.spin, 0);

    succeed = true;
    tqn::EnsureOsInfoRecord(record, gather);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(record.flags.windows7, 1);
    EXPECT_FALSE(record.displayName.empty());
    tqn::EnsureOsInfoRecord(record, gather);
    EXPECT_EQ(calls, 2);
}

// Threads arriving while one gathers wait for it and see its result.
TEST(OsInfoRecord, ConcurrentCallersWaitForTheGatherer) {
    tqn::OsInfoRecord record;
    std::atomic<int> calls{0};
    auto gather = [&](OsFacts& facts, SYSTEM_INFO&) {
        ++calls;
        ::Sleep(100);  // long enough for the others to arrive and spin
        facts = SevenFacts();
        return true;
    };
    constexpr int kThreads = 6;
    std::atomic<int> sawName{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] {
            tqn::EnsureOsInfoRecord(record, gather);
            if (record.gathered == 1 && record.flags.windows7 == 1) ++sawName;
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(sawName.load(), kThreads);
}

// After a failed gathering, a caller arriving during the next one waits for
// it instead of taking the stale, empty record.
TEST(OsInfoRecord, RetryMakesLateComersWait) {
    tqn::OsInfoRecord record;
    tqn::EnsureOsInfoRecord(record, [](OsFacts&, SYSTEM_INFO&) { return false; });
    ASSERT_EQ(record.gathered, 1);
    ASSERT_TRUE(record.displayName.empty());

    tqn::ScopedHandle inside(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(inside);
    std::thread gatherer([&] {
        tqn::EnsureOsInfoRecord(record, [&](OsFacts& facts, SYSTEM_INFO&) {
            ::SetEvent(inside.Get());
            ::Sleep(200);
            facts = SevenFacts();
            return true;
        });
    });
    ASSERT_EQ(::WaitForSingleObject(inside.Get(), 10000), WAIT_OBJECT_0);
    bool lateComerGathered = false;
    tqn::EnsureOsInfoRecord(record, [&](OsFacts&, SYSTEM_INFO&) {
        lateComerGathered = true;
        return false;
    });
    const int32_t sawWindows7 = record.flags.windows7;
    gatherer.join();
    EXPECT_FALSE(lateComerGathered);
    EXPECT_EQ(sawWindows7, 1);
}

// The real record under Wine: gathered, named, and equal to a fresh classification.
TEST(OsInfo, RealRecordMatchesFreshClassification) {
    tqn::EnsureOsInfo();
    const tqn::OsInfoRecord& record = tqn::OsInfo();
    ASSERT_EQ(record.gathered, 1);
    ASSERT_FALSE(record.displayName.empty());
    EXPECT_EQ(record.displayName.rfind(L"Microsoft Windows ", 0), 0u) << "got: " << ::testing::PrintToString(record.displayName);

    OsFacts facts;
    SYSTEM_INFO info{};
    ASSERT_TRUE(tqn::GatherOsFacts(facts, info));
    const tqn::OsClassification fresh = tqn::ClassifyOs(facts);
    EXPECT_EQ(record.displayName, fresh.displayName);
    EXPECT_EQ(std::memcmp(&record.flags, &fresh.flags, sizeof(tqn::OsFlags)), 0);
    EXPECT_EQ(record.systemInfo.wProcessorArchitecture, info.wProcessorArchitecture);
    EXPECT_EQ(facts.architecture, 9);  // a 64-bit prefix

    // Asking again keeps the same record; the NT flag is set under Wine.
    const std::wstring before = record.displayName;
    tqn::EnsureOsInfo();
    EXPECT_EQ(record.displayName, before);
    EXPECT_EQ(tqn::IsNtPlatform(), 1);
    EXPECT_EQ(record.flags.ntPlatform, 1);
}

// The gathered facts agree with what the system says directly.
TEST(OsInfo, GatheredFactsMatchTheSystem) {
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)));
    OsFacts facts;
    SYSTEM_INFO info{};
    ASSERT_TRUE(tqn::GatherOsFacts(facts, info));
    EXPECT_EQ(facts.platformId, version.dwPlatformId);
    EXPECT_EQ(facts.major, version.dwMajorVersion);
    EXPECT_EQ(facts.minor, version.dwMinorVersion);
    EXPECT_EQ(facts.build, version.dwBuildNumber);
    EXPECT_EQ(facts.productType, version.wProductType);
    EXPECT_EQ(facts.suiteMask, version.wSuiteMask);
    EXPECT_EQ(facts.csdVersion, version.szCSDVersion);
    DWORD productType = 0;
    if (version.dwMajorVersion >= 6) {
        ASSERT_TRUE(::GetProductInfo(version.dwMajorVersion, version.dwMinorVersion, 0, 0, &productType));
    }
    EXPECT_EQ(facts.productInfo, productType);
}

}  // namespace
