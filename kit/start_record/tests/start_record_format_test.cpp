// The record the stand-ins write, as the launch tests and the demo read it.
#include <gtest/gtest.h>

#include "kit/start_record/start_record.h"

namespace {

using tqn::kit::FormatStartRecord;
using tqn::kit::StartFacts;

TEST(StartRecordFormat, FiveLinesInOrder) {
    const struct {
        const char* what;
        StartFacts facts;
        std::string expected;
    } cases[] = {
        // As the launcher starts the tray program, elevated.
        {"quoted path and argument", {L"\"C:\\Program Files\\Tarvolin\\tray.exe\" /launch", 0x3000, true, L"", 0},
         "command_line=\"C:\\Program Files\\Tarvolin\\tray.exe\" /launch\nintegrity_rid=12288\nadministrator=1\n"
         "desktop=\nstart_x=0\n"},
        // A desktop named (outside ASCII, so in UTF-8) and an x position given.
        {"desktop and x position", {L"t.exe", 0x2000, false, L"winsta0\\d\xE4sk", 0x4D454449},
         "command_line=t.exe\nintegrity_rid=8192\nadministrator=0\ndesktop=winsta0\\d\xC3\xA4sk\n"
         "start_x=1296385097\n"},
        // A medium-integrity start by a user who is no administrator.
        {"not an administrator", {L"u.exe", 0x2000, false, L"", 0},
         "command_line=u.exe\nintegrity_rid=8192\nadministrator=0\ndesktop=\nstart_x=0\n"},
        // Nothing is dropped when the command line is empty or the RID unread.
        {"empty command line, RID unknown", {L"", 0, false, L"", 0},
         "command_line=\nintegrity_rid=0\nadministrator=0\ndesktop=\nstart_x=0\n"},
        // The RID is unsigned decimal, never negative.
        {"largest RID", {L"a", 0xFFFFFFFFu, true, L"", 0},
         "command_line=a\nintegrity_rid=4294967295\nadministrator=1\ndesktop=\nstart_x=0\n"},
        // Hangul and a character outside the basic plane leave as UTF-8.
        {"non-ASCII",
         {L"C:\\\xD0C0\xB974\xBCFC\xB9B0\\t.exe \U0001F600", 0x1000, false, L"", 0},
         "command_line=C:\\\xED\x83\x80\xEB\xA5\xB4\xEB\xB3\xBC\xEB\xA6\xB0\\t.exe \xF0\x9F\x98\x80\n"
         "integrity_rid=4096\nadministrator=0\ndesktop=\nstart_x=0\n"},
        // Blanks inside and at the end stay as they are.
        {"blanks kept", {L"t.exe  /a  ", 0x3000, true, L"", 0},
         "command_line=t.exe  /a  \nintegrity_rid=12288\nadministrator=1\ndesktop=\nstart_x=0\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatStartRecord(c.facts), c.expected) << c.what;
    }
}

}  // namespace
