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

#include "diag/trace_settings.h"

TEST(TracePathRule, TheSlotCountsOnlyWhenItIsThePathToolsFile) {
    const struct {
        const char* what;
        const wchar_t* slot;
        const wchar_t* tool;
        bool same;
        const wchar_t* path;
        bool writeSlot;
    } rows[] = {
        {"empty slot", L"", L"C:\\L\\launch.log", false, L"C:\\L\\launch.log", true},
        {"slot names the same file", L"c:\\l\\LAUNCH.LOG", L"C:\\L\\launch.log", true, L"c:\\l\\LAUNCH.LOG", false},
        {"slot names another file", L"C:\\Users\\x\\victim.dat", L"C:\\L\\launch.log", false, L"C:\\L\\launch.log", true},
        {"no path tool: nothing, whatever the slot says", L"C:\\Users\\x\\victim.dat", L"", false, L"", false},
        {"neither", L"", L"", false, L"", false},
    };
    for (const auto& row : rows) {
        const tqn::TracePathChoice choice = tqn::ChooseTracePath(row.slot, row.tool, row.same);
        EXPECT_EQ(choice.path, row.path) << row.what;
        EXPECT_EQ(choice.writeSlot, row.writeSlot) << row.what;
    }
}
