#pragma once
// How a stand-in program was started (its command line, its token's integrity
// RID, whether it is an administrator, the desktop and x position of its
// start-up information), recorded for the tests and the demo that start it. The tray
// and uninstaller stand-ins are thin callers of this.
#include <cstdint>
#include <string>

namespace tqn::kit {

struct StartFacts {
    std::wstring commandLine;
    uint32_t integrityRid = 0;
    bool administrator = false;
    // As GetStartupInfoW gives them (an empty desktop when none is named).
    // The launch paths differ here: the console session's names a desktop,
    // the medium integrity one sets an x position that nothing uses.
    std::wstring desktop;
    uint32_t startX = 0;
};

// The record: "command_line=", "integrity_rid=" (decimal), "administrator="
// (1 or 0), "desktop=" and "start_x=" (decimal) lines, each ending in a line feed, in UTF-8.
std::string FormatStartRecord(const StartFacts& facts);

#ifdef _WIN32
// Exit codes of the stand-ins.
inline constexpr int kRecordWritten = 0;
inline constexpr int kRecordNotWritten = 1;
inline constexpr int kNoRecordVariable = 2;

// Records this process's start in the file the environment variable names:
// kNoRecordVariable when it is unset or empty, else whether it was written.
int RecordHowStarted(const wchar_t* envVariable);

// Puts content in path whole: written beside it first, then renamed over it,
// so a reader never sees half a record. No ".partial" file is left behind.
bool ReplaceWithContent(const std::wstring& path, const std::string& content);
#endif

}  // namespace tqn::kit
