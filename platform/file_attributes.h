#pragma once
// Whether a file counts as present, from its attributes: plain functions, so
// that every case can be tested without a file system.
#include <cstdint>
#include <string>

namespace tqn {

// The name under which a path's attributes are queried: paths longer than 260
// characters get the "\\?\" prefix unless they have it already.
std::wstring PathForAttributeQuery(const std::wstring& path);

// Whether a file or folder with these attributes counts as present.
// queriedPath is the name that was queried; xpProgramData is the process-wide
// flag set on Windows XP when a ProgramData folder exists.
struct FilePresence {
    bool exists = false;
    bool isDirectory = false;
};
constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
FilePresence JudgeFileAttributes(uint32_t attributes, const std::wstring& queriedPath,
                                 bool xpProgramData);

// A file (not a folder) that is present: not offline, not virtual.
inline bool IsUsableFile(uint32_t attributes) {
    const FilePresence presence = JudgeFileAttributes(attributes, std::wstring(), false);
    return presence.exists && !presence.isDirectory;
}

}  // namespace tqn
