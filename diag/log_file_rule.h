#pragma once
// Whether a handle opened on a log file (the trace file, the crash dump) may
// be written or deleted through: plain functions of what the handle says, so
// that every case can be tested without a file system. The launcher may run
// elevated while a standard user can make links in the log folder; a file
// that is a link is never written through (its name alone is removed), and
// one that lies outside the log folder is never touched.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tqn {

enum class LogFileVerdict {
    Usable,         // a plain file directly inside the log folder
    Absent,         // no file at the path (only for an inspection)
    NotRead,        // the handle's facts could not be read
    Folder,
    ReparsePoint,   // a symbolic link, junction or mount point, opened as itself
    HardLink,       // not exactly one name: another one shares the data
    OutsideFolder,  // the folder on the way was a link elsewhere (judged first)
};

// What the system says about an opened handle.
struct OpenedFileFacts {
    bool read = false;
    uint32_t attributes = 0;
    uint32_t linkCount = 0;
    std::wstring_view finalPath;  // GetFinalPathNameByHandleW (DOS volume name, "\\?\" form)
};

// A full folder path in the form final paths take: "C:\x\" gives "\\?\C:\x",
// "\\server\share\x" gives "\\?\UNC\server\share\x"; no trailing backslash.
std::wstring FinalPathFormOf(const std::wstring& fullFolder);

// Whether a final path names a file directly inside the folder (in final
// path form). Letter case counts only outside A-Z: a mismatch there refuses.
bool IsDirectlyInside(std::wstring_view finalPath, std::wstring_view folder);

LogFileVerdict JudgeOpenedLogFile(const OpenedFileFacts& facts, std::wstring_view folder);

// A link whose own name lies in the log folder: removing that name leaves the
// file it links to alone, and a fresh file takes its place.
bool IsReplaceableLink(LogFileVerdict verdict);

// Whether a folder's final path is one of the roots' or lies below one (all
// in final path form): where a log folder may be.
bool IsWithinAnyRoot(std::wstring_view folder, const std::vector<std::wstring>& roots);

}  // namespace tqn
