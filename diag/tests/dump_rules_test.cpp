#include <gtest/gtest.h>

#include "diag/dump_rules.h"

TEST(DumpRules, PathAndSecurity) {
    EXPECT_EQ(tqn::DumpPathFor(L"C:\\ProgramData\\Tarvolin\\Logs", L"Launch.exe"),
              L"C:\\ProgramData\\Tarvolin\\Logs\\Launch.exe.dmp");
    EXPECT_EQ(tqn::DumpPathFor(L"", L"Launch.exe"), L"\\Launch.exe.dmp");
    // The user, SYSTEM and the Administrators; protected from inheritance,
    // nothing for Everyone, Users or Authenticated Users.
    EXPECT_EQ(tqn::DumpFileSddl(L"S-1-5-21-1-2-3-1001"),
              L"O:S-1-5-21-1-2-3-1001D:P(A;;FA;;;S-1-5-21-1-2-3-1001)(A;;FA;;;SY)(A;;FA;;;BA)");
}
