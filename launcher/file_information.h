#pragma once
// File presence as the launcher judges it before starting a program.
#ifdef _WIN32
#include <windows.h>

#include <string>

#include "platform/scoped_resource.h"

namespace tqn {

class FileInformationExW {
public:
    // On Windows XP, the first construction in the process records whether a
    // ProgramData folder exists on the system drive.
    FileInformationExW();
    virtual ~FileInformationExW() = default;

    // True when the path names a present file or folder (not offline, not
    // virtual; reparse-point folders only in the XP case). isDirectory, when
    // given, is set to false first and to true for a folder.
    bool FileExists(const std::wstring& path, bool* isDirectory = nullptr) const;

    static bool XpProgramDataFlag();

private:
    ScopedLibrary module_;  // never set on the launch paths
};

}  // namespace tqn
#endif
