#pragma once
// Helpers for the environment's tests under Wine: scratch folders, files,
// child processes and unique object names.
#include <windows.h>

#include <functional>
#include <string>

#include "kit/testsupport/scratch_folder.h"

namespace tqn::testing {

// Scratch folders come from the shared test support.
using tqn::test::ScratchFolder;

std::wstring NewGuidText();
// Writes bytes to a file, replacing it.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// The whole file (shared with writers, as records and logs are read while
// others may have them open); false when it cannot be opened or read.
bool ReadFileBytes(const std::wstring& path, std::string& bytes);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);

// Runs a program, waits for it (a minute at most) and collects its standard output.
// beforeResume, when given, runs while the program is still suspended, with
// its process ID.
bool RunProgram(const std::wstring& commandLine, std::string& output, DWORD& exitCode,
                const std::function<void(DWORD processId)>& beforeResume = {});

// The folder of the test binary (build/bin).
std::wstring BinFolder();
// A signed (or unsigned) copy of a kit module made by the build: <build>\signed\env\<name>.
std::wstring SignedCopy(const std::wstring& name);
// UTF-8 of wide text.
std::string Utf8(const std::wstring& text);

}  // namespace tqn::testing
