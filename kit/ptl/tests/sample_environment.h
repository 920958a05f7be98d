#pragma once
// The environment the "ptl.dat" tests and fuzz target read against: one
// variable with a value, one empty, nothing else.
#include <map>
#include <string>

namespace ptl::test {

inline bool SampleEnvironment(const std::wstring& name, std::wstring& value) {
    static const std::map<std::wstring, std::wstring> variables = {{L"ProgramData", L"C:\\ProgramData"},
                                                                   {L"EMPTY", L""}};
    const auto found = variables.find(name);
    if (found == variables.end()) return false;
    value = found->second;
    return true;
}

}  // namespace ptl::test
