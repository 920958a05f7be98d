#pragma once
// Where the running program lives.
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tqn {

// Everything before the last backslash (the path itself when it has none).
std::wstring FolderOfPath(const std::wstring& path);

#ifdef _WIN32
// The folder of the program's own file, at any length, without a trailing
// backslash; empty when the name cannot be read.
std::wstring ProgramFolder();

// The file a loaded module was mapped from, at any length (the program's own
// for null); empty when it cannot be read.
std::wstring ModuleFileName(HMODULE module);

// The full path (GetFullPathNameW: "." and ".." resolved, any length); empty
// when it cannot be made.
std::wstring FullPathName(const std::wstring& path);

// Whether two non-empty path texts are equal, ignoring case as file names do.
bool SamePathText(const std::wstring& a, const std::wstring& b);
#endif

}  // namespace tqn
