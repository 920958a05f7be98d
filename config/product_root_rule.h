#pragma once
// Whether the recorded installation folder names the running program's
// folder: one trailing backslash dropped from each, letter case ignored.
#include <string>

namespace tqn {

bool SameProductFolder(std::wstring productPath, std::wstring programFolder);

}  // namespace tqn
