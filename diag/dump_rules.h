#pragma once
// The crash dump's path and the security it is created with, as plain
// functions. The dump holds the whole memory of a process that may run
// elevated, in a folder other users can read: only its owner, SYSTEM and
// the Administrators may open it.
#include <string>

namespace tqn {

// logFolder\programFile.dmp; empty (no dump) when the log folder is
// unknown: the current drive's root would be the caller's choice.
std::wstring DumpPathFor(const std::wstring& logFolder, const std::wstring& programFile);

// Protected DACL granting full access to the user (by SID text), SYSTEM and
// the Administrators, and nothing to anybody else. The dump of an elevated
// run also carries a High mandatory label that refuses reading and writing
// from below: the same user's unelevated processes cannot open it.
std::wstring DumpFileSddl(const std::wstring& userSid, bool elevated);

}  // namespace tqn
