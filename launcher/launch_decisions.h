#pragma once
// The launch's decisions as plain functions of plain data: which launch path,
// which command line (whether a file counts as present is in
// platform/file_attributes.h). The thin layer in
// process_launch.cpp gathers the facts and acts on the result.
#include <cstdint>
#include <string>

#include "platform/file_attributes.h"
#include "platform/version_naming.h"

namespace tqn {

enum class LaunchPath {
    ConsoleSession,   // the service's way: into the active console session
    Plain,            // with the launcher's own token
    MediumIntegrity,  // the launcher's token lowered to medium integrity
};

// "session", "plain" or "medium": the launch path as the trace names it.
const wchar_t* LaunchPathName(LaunchPath path);

// True when the versions call for the integrity test before the plain launch
// (Vista and unnamed 6.x workstations like it, and Windows 7).
bool VersionNeedsIntegrityTest(const OsFlags& flags);

// mediumIntegrity is consulted only when the integrity test applies.
LaunchPath ChooseLaunchPath(bool isSystemAccount, bool dropElevation, const OsFlags& flags,
                            bool mediumIntegrity);

// The account name compared with "system", ASCII letters lower-cased.
bool IsSystemAccountName(const std::wstring& accountName);

// "path" quoted unless it already starts with a quote, then " arguments" when non-empty.
std::wstring BuildPlainCommandLine(const std::wstring& path, const std::wstring& arguments);
// "path" quoted, then " arguments" when non-empty.
std::wstring BuildQuotedCommandLine(const std::wstring& path, const std::wstring& arguments);
// "path" quoted and a blank, then the arguments (ends in the blank when they are empty).
std::wstring BuildConsoleSessionCommandLine(const std::wstring& path,
                                            const std::wstring& arguments);

// The file a setting names (TRAY_FILE, UNINSTALL_FILE): program folder, a
// backslash, the name. Empty when the name does not stay inside the folder
// (see IsPathInsideFolder) or there is no folder: the settings come from
// the product's data, and an elevated launcher starts what they name.
std::wstring ProgramFolderFile(const std::wstring& programFolder, const std::wstring& fileName);

}  // namespace tqn

namespace tqn {
// The medium band of integrity levels (medium-plus included).
inline bool IsMediumIntegrityRid(uint32_t rid) { return rid >= 0x2000 && rid < 0x3000; }
}  // namespace tqn
