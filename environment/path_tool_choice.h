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

// Where the product's modules may come from besides the caller's own choice.
// The stored folder is anybody's to write; the other two only an
// administrator's: the program's own folder, and the folder the installer
// recorded as "RootDir" (empty when there is none).
struct ProductFolderSources {
    std::wstring stored;
    std::wstring programFolder;
    std::wstring installedFolder;
};

// The stored folder is honoured only when it is a plain drive folder that
// names the program folder or the installed folder (full paths compared
// without letter case and a trailing backslash). A folder of genuine signed
// modules elsewhere could still carry its own data files and settings, and
// those decide what an elevated launcher starts.
bool StoredFolderAccepted(const ProductFolderSources& sources);

// Something is stored and it is not honoured.
bool StoredFolderRejected(const ProductFolderSources& sources);

// The folders "ptl.tqm" is tried from, in order: the caller's own choice
// alone when given; else the folder an accepted stored text names (in the
// administrator's spelling), then the program folder (once, when both are
// the same).
std::vector<std::wstring> ProductFolderCandidates(const std::wstring& requested, const ProductFolderSources& sources);

// The first candidate: the folder the product's modules are looked for in.
std::wstring ChooseProductFolder(const std::wstring& requested, const ProductFolderSources& sources);

// Which export a lookup calls: the newer (five arguments, with a flag), the
// older (four arguments), or none when neither is bound.
enum class LookupExport { Newer, Older, None };
LookupExport ChooseLookupExport(bool newerBound, bool olderBound);

}  // namespace tqn
