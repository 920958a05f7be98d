#pragma once
// Lines for the Unix side of a Wine run: wide text written as UTF-8 straight
// to a standard handle (the console's own conversion cuts at characters
// outside the ANSI code page).
#ifdef _WIN32
#include <windows.h>

#include <string>

namespace tqn::test {

// The line and a line feed, on STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
void PrintLine(const std::wstring& line, DWORD stream = STD_OUTPUT_HANDLE);

}  // namespace tqn::test
#endif
