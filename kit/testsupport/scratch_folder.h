#pragma once
// Scratch folders for tests under Wine: made fresh under %TEMP%, removed with
// everything in them (long names included) when the test ends, pass or fail.
#ifdef _WIN32
#include <string>

namespace tqn::test {

class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& label = L"tqn-test");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

// The temporary folder without its trailing backslash.
std::wstring TempFolder();
// A name no other test process or earlier call uses: stem-pid-counter-ticks.
std::wstring UniqueName(const std::wstring& stem);
// Removes a folder and everything below it.
void RemoveTree(const std::wstring& path);

}  // namespace tqn::test
#endif
