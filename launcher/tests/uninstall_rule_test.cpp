#include <gtest/gtest.h>

#include "launcher/uninstall_rule.h"

TEST(UninstallRule, ObjectNameAndProbe) {
    EXPECT_EQ(tqn::UninstallMutexObjectName(L"TqnUninstall", true), L"Local\\TqnUninstall");
    EXPECT_EQ(tqn::UninstallMutexObjectName(L"TqnUninstall", false), L"TqnUninstall");

    const struct {
        bool opened;
        uint32_t error;
        bool running;
    } rows[] = {
        {true, 0, true},
        {false, 2, false},    // no such mutex
        {false, 5, true},     // it exists but refuses us: the uninstaller holds it
        {false, 6, false},
        {false, 123, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(tqn::UninstallProbeMeansRunning(row.opened, row.error), row.running) << row.error;
    }
}
