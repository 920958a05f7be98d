#pragma once
// Opening, creating and deleting log files (the trace file, the crash dump)
// so that a link at the file or on the way to it is never written or deleted
// through: every handle is checked (JudgeOpenedLogFile) before the first byte
// is written or the file is deleted, and a deletion goes through the handle
// that was checked.
#ifdef _WIN32
#include <windows.h>

#include <string>

#include "diag/log_file_rule.h"
#include "platform/scoped_resource.h"

namespace tqn {

// The folder a log file must lie in: the final path of the folder's own
// handle (in FinalPathFormOf's form). Empty when the folder cannot be opened.
std::wstring LogFolderReference(const std::wstring& folder);

// The longest final path read.
inline constexpr DWORD kFinalPathCapacity = 32768;

// The verdict on an open handle. scratch receives the final path; it grows
// when it is too short (a crash filter hands in one made large beforehand).
LogFileVerdict JudgeLogFileHandle(HANDLE file, const std::wstring& reference, std::wstring& scratch);

// The trace file, opened for appending (shared for reading and writing): an
// existing file is opened as it is, a missing one is made with CREATE_NEW,
// and a link in its place loses that name and a new file is made. Invalid
// when the folder is missing, the open fails or the check refuses (a file
// this call made is deleted again then).
ScopedFileHandle OpenLogFileForAppending(const std::wstring& path, const std::wstring& reference);

// A new file (CREATE_NEW) with the given access and security, checked; a
// refused one is deleted again through its handle.
ScopedFileHandle CreateNewLogFile(const std::wstring& path, DWORD access, DWORD share,
                                  const SECURITY_ATTRIBUTES* security, const std::wstring& reference,
                                  std::wstring& scratch);

// Deletes the file at the path through a handle opened with DELETE and
// checked; a link there is deleted as the name it is. True when there was no
// file, or it was checked and marked for deletion; false when it was refused
// (it resolves outside the folder) or could not be opened or marked.
bool DeleteLogFile(const std::wstring& path, const std::wstring& reference, std::wstring& scratch);

// What an existing file at the path is, judged against the path's own folder
// without changing anything: Absent when there is none. A link shows as
// ReparsePoint, HardLink or OutsideFolder.
LogFileVerdict InspectLogFile(const std::wstring& path);

}  // namespace tqn
#endif
