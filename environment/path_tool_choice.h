#pragma once
// The path-tool binding's decisions, apart from the calls that gather their inputs.
#include <string>

namespace tqn {

// The folder "ptl.tqm" is loaded from and initialised with: the caller's own
// choice when given, else the folder stored in the global shared block, else
// the program folder.
std::wstring ChooseProductFolder(const std::wstring& requested, const std::wstring& sharedFolder,
                                 const std::wstring& programFolder);

// Which export a lookup calls: the newer (five arguments, with a flag), the
// older (four arguments), or none when neither is bound.
enum class LookupExport { Newer, Older, None };
LookupExport ChooseLookupExport(bool newerBound, bool olderBound);

}  // namespace tqn
