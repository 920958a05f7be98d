#pragma once
// Rules over path texts, as plain functions: what a name inside a folder may
// be, and when two folder texts name the same folder.
#include <string>

namespace tqn {

// One name between backslashes that Windows takes as it stands: not empty,
// no character a file name may not hold (a ':' would name a drive or a
// stream, a '/' would split it), not ending in a dot or a blank (which
// Windows would drop; this also rules out "." and "..").
bool IsPlainFileName(const std::wstring& name);

// Whether a relative path names a file inside the folder it is appended to:
// plain names joined by single backslashes. No drive, no root, no UNC or
// device prefix, no stream, no "." or "..".
bool IsPathInsideFolder(const std::wstring& relativePath);

// Whether two folder texts are the same folder: one trailing backslash
// dropped from each, letter case ignored.
bool SameFolderText(std::wstring a, std::wstring b);

}  // namespace tqn
