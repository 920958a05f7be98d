#pragma once
// Whether the recorded installation folder names the running program's
// folder: one trailing backslash dropped from each, letter case ignored.
#include <string>

namespace tqn {

bool SameProductFolder(std::wstring productPath, std::wstring programFolder);

// Whether the installer's record (RootDir) names the program folder: the one
// folder the product runs from. Nothing recorded names no folder.
bool RootDirNamesFolder(const std::wstring& rootDir, const std::wstring& programFolder);

}  // namespace tqn
