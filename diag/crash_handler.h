#pragma once
// Crash handling: an unhandled exception leaves a full-memory minidump,
// "<program file name>.dmp" in the product's log folder, and ends the
// process with exit code 0. The dump is always a new file with the owner-only
// descriptor: a stale dump is deleted first, through a handle that shows it is
// a plain file in the log folder; a link there, or a stale dump that cannot
// be deleted, means no dump.
#ifdef _WIN32
#include <windows.h>

#include <functional>
#include <string>

namespace tqn {

// Fixes the dump path (the path tool's COMMON_APPDATA\LOG_FOLDER), builds the
// dump file's security, installs the filter and sets the error mode. False
// (nothing installed) when the program's own path has no backslash.
bool InstallCrashHandler();

// The path the filter writes to; empty until installed.
const std::wstring& CrashDumpPath();

// The security attributes the filter hands to CreateFileW for the dump, or
// null when they could not be built (the dump is then not written: a dump
// readable by everybody is worse than none).
const SECURITY_ATTRIBUTES* CrashDumpSecurity();

// Test seam: replaces the creation of the new dump file (CREATE_NEW with the
// security given); the handle it returns is checked as the real one is. An
// empty function restores the real creation.
using DumpFileCreator = std::function<HANDLE(const wchar_t* path, const SECURITY_ATTRIBUTES* security)>;
void SetDumpFileCreatorForTesting(DumpFileCreator creator);

// Work that must not be left undone when the process crashes (putting back
// what it changed only for a while). The filter runs each one, in the order
// added, before it writes the dump; they must allocate as little as they can.
// False when the table is full (kMaxCrashCleanups).
using CrashCleanup = void (*)();
inline constexpr size_t kMaxCrashCleanups = 8;
bool AddCrashCleanup(CrashCleanup cleanup);

// The filter itself, exposed for tests that call it without crashing.
LONG WINAPI WriteCrashDump(EXCEPTION_POINTERS* exception);

}  // namespace tqn
#endif
