#pragma once
// Test helpers around the tray program's stand-in (kit/tray_probe), which
// writes how it was started to the file named by TQN_TRAY_RECORD.
#include <map>
#include <string>

#include "kit/testsupport/scratch_folder.h"

namespace tqn::test {

using TrayRecord = std::map<std::string, std::string>;

// Points TQN_TRAY_RECORD of this process (and so of its children) at a new
// record file, and removes the file afterwards.
class RecordExpectation {
public:
    RecordExpectation();
    ~RecordExpectation();
    RecordExpectation(const RecordExpectation&) = delete;
    RecordExpectation& operator=(const RecordExpectation&) = delete;

    // Waits for the child's record; false when none came within the time.
    bool Wait(TrayRecord& record, unsigned timeoutMs = 20000) const;
    // True when no record appears within the time.
    bool StaysAbsent(unsigned waitMs = 1500) const;

private:
    std::wstring path_;
};

// The stand-in's full path in the build's binary folder.
std::wstring TrayProbePath();
// Copies the stand-in to folder\name; returns the copy's path (empty on failure).
std::wstring CopyTrayProbe(const std::wstring& folder, const std::wstring& name);
// The program's own command line as the child saw it, decoded from UTF-8.
std::wstring WideField(const TrayRecord& record, const std::string& key);
// The launch path the child's start-up information shows, named as the trace
// names it: "session" (the desktop "winsta0\default" named), "medium" (the
// medium-integrity x position) or "plain" (neither); else what was seen.
std::wstring LaunchPathSeen(const TrayRecord& record);

}  // namespace tqn::test
