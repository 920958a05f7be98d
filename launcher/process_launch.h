#pragma once
// Starting the product's tray program (and the uninstaller) as the
// interactive user, detached: nothing here waits for a child or reports.
#ifdef _WIN32
#include <string>

#include "platform/module_path.h"

namespace tqn {

// A setting's file in the program folder (see ProgramFolderFile); empty when
// the setting names none, traced when it names something outside the folder.
std::wstring SettingFilePath(const wchar_t* setting, const std::wstring& fileName);

// Starts program folder + "\" + TRAY_FILE by the launch path that the
// account, dropElevation and the Windows version call for; nothing when
// TRAY_FILE names no file inside the program folder.
void LaunchTrayProgram(const std::wstring& arguments, bool dropElevation);

// With the launcher's own token; nothing is started unless the path names a
// present file that is not a folder.
void StartProcessPlain(const std::wstring& path, const std::wstring& arguments);
// With a duplicate of the launcher's token lowered to medium integrity.
void StartProcessAtMediumIntegrity(const std::wstring& path, const std::wstring& arguments);
// The start-up x position that path gives the child. The system ignores it
// (no STARTF_USEPOSITION is set), but a child reads it with GetStartupInfoW:
// it tells this path from the plain one where a token's integrity cannot be
// lowered (under Wine).
inline constexpr unsigned long kMediumIntegrityStartMarker = 0x4D454449;
// As the user of the active console session (the service's way).
bool StartProcessInConsoleSession(const std::wstring& path, const std::wstring& arguments);

// True when the process token's integrity is in the medium band.
bool IsMediumIntegrity();

}  // namespace tqn
#endif
