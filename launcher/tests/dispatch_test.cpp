#include <gtest/gtest.h>

#include "launcher/dispatch.h"

using tqn::ChooseDispatch;
using tqn::Dispatch;

TEST(Dispatch, EveryRow) {
    const struct {
        const wchar_t* commandLine;
        bool uninstall;
        bool consultGuard;
        const wchar_t* trayArguments;
        bool dropElevation;
    } rows[] = {
        {L"", false, true, L"/launch", true},
        {L"/install", false, false, L"/launch", true},
        {L"x/installer", false, false, L"/launch", true},           // a substring counts
        {L"/Install", false, true, L"/Install", false},             // the search is case-sensitive
        {L"/silent", false, true, L"", true},
        {L"/install /silent", false, false, L"/launch", true},      // "/install" is tested first
        {L"/uninstall /silent", false, true, L"", true},            // not the whole line: "/silent"
        {L"/UNINSTALL", true, false, L"", false},
        {L"/uninstall", true, false, L"", false},
        {L"/launch", false, true, L"/launch", false},               // passed on unchanged
        {L"/scan now", false, true, L"/scan now", false},
        {L" /uninstall", false, true, L" /uninstall", false},
    };
    for (const auto& row : rows) {
        const Dispatch d = ChooseDispatch(row.commandLine);
        EXPECT_EQ(d.uninstall, row.uninstall) << row.commandLine;
        EXPECT_EQ(d.consultGuard, row.consultGuard) << row.commandLine;
        EXPECT_EQ(d.trayArguments, row.trayArguments) << row.commandLine;
        EXPECT_EQ(d.dropElevation, row.dropElevation) << row.commandLine;
    }
}

TEST(Elevation, AfterTheShellCall) {
    using tqn::ElevationOutcome;
    const struct {
        long long result;
        bool askAgain;
        ElevationOutcome outcome;
    } rows[] = {
        {33, true, ElevationOutcome::Stop},          // the elevated copy runs
        {42, false, ElevationOutcome::Stop},
        {5, true, ElevationOutcome::AskUser},        // the prompt was declined
        {5, false, ElevationOutcome::EndNormally},   // declined the second time
        {2, true, ElevationOutcome::EndNormally},    // any other shell error
        {32, true, ElevationOutcome::EndNormally},
        {0, false, ElevationOutcome::EndNormally},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(tqn::AfterRunas(row.result, row.askAgain), row.outcome) << row.result << " " << row.askAgain;
    }
}
