#pragma once
// The path-tool binding's decisions, apart from the calls that gather their inputs.
#include <string>
#include <vector>

namespace tqn {

// Any process may write the global shared block, so a folder read from it is
// used only when it is a plain absolute folder on a drive: a letter, a colon
// and a backslash, then names. Refused: "." or ".." components, names that
// Windows would shorten (trailing dots or blanks), empty names inside the
// path, "/", the "\\?\", "\\.\" and UNC forms, and characters no file
// name may hold (a second ':' would name a stream).
bool IsPlainDriveFolder(const std::wstring& folder);

// The folders "ptl.tqm" is tried from, in order: the caller's own choice
// alone when given; else the stored folder when it passes the rule above,
// then the program folder (once, when both are the same).
std::vector<std::wstring> ProductFolderCandidates(const std::wstring& requested, const std::wstring& sharedFolder,
                                                  const std::wstring& programFolder);

// The first candidate: the folder the product's modules are looked for in.
std::wstring ChooseProductFolder(const std::wstring& requested, const std::wstring& sharedFolder,
                                 const std::wstring& programFolder);

// Which export a lookup calls: the newer (five arguments, with a flag), the
// older (four arguments), or none when neither is bound.
enum class LookupExport { Newer, Older, None };
LookupExport ChooseLookupExport(bool newerBound, bool olderBound);

}  // namespace tqn
