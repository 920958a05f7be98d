#include "diag/log_file.h"

#include "platform/file_attributes.h"
#include "platform/module_path.h"

namespace tqn {

namespace {

constexpr DWORD kOpenFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;

// Marks the file of a handle opened with DELETE for deletion: the name goes
// when the last handle closes, and only this file's name, never a link's target.
bool MarkForDeletion(HANDLE file) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

ScopedFileHandle Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                      const SECURITY_ATTRIBUTES* security = nullptr) {
    return ScopedFileHandle(::CreateFileW(path.c_str(), access, share, const_cast<SECURITY_ATTRIBUTES*>(security),
                                          disposition, kOpenFlags, nullptr));
}

}  // namespace

namespace {

// The final path of an open handle into scratch (grown when too short); its
// length, or 0 when it cannot be read.
DWORD ReadFinalPath(HANDLE handle, std::wstring& scratch) {
    if (scratch.size() < MAX_PATH) scratch.resize(MAX_PATH);
    DWORD length = 0;
    for (int round = 0; round < 2; ++round) {
        const DWORD capacity = static_cast<DWORD>(scratch.size());
        length = ::GetFinalPathNameByHandleW(handle, scratch.data(), capacity, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length < capacity || length > kFinalPathCapacity) break;
        scratch.resize(length);  // the size asked for, terminator included
    }
    return length != 0 && length < scratch.size() ? length : 0;
}

}  // namespace

std::wstring LogFolderReference(const std::wstring& folder) {
    // The folder's own handle says where it is: a subst or mapped drive, or
    // a junction on the way, leads to the same final path as the files in it.
    // The backslash makes "" the current drive's root and "C:" that root too.
    std::wstring full = FullPathName(folder + L"\\");
    if (full.empty()) return {};
    if (full.size() > 3 && full.back() == L'\\') full.pop_back();  // "C:\" keeps it; "\\?\" forms take none
    const ScopedFileHandle handle(::CreateFileW(PathForAttributeQuery(full).c_str(), FILE_READ_ATTRIBUTES,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    std::wstring scratch;
    const DWORD length = handle ? ReadFinalPath(handle.Get(), scratch) : 0;
    if (length != 0) return FinalPathFormOf(scratch.substr(0, length));
    // No final path (Wine gives none for a folder beyond MAX_PATH): the text
    // of the long name. A file's handle that leads elsewhere then differs.
    if (!handle) return {};
    const std::wstring query = PathForAttributeQuery(full);
    const DWORD size = ::GetLongPathNameW(query.c_str(), nullptr, 0);
    std::wstring longName(size, L'\0');
    const DWORD written = size != 0 ? ::GetLongPathNameW(query.c_str(), longName.data(), size) : 0;
    return FinalPathFormOf(written != 0 && written < size ? longName.substr(0, written) : full);
}

LogFileVerdict JudgeLogFileHandle(HANDLE file, const std::wstring& reference, std::wstring& scratch) {
    BY_HANDLE_FILE_INFORMATION information{};
    OpenedFileFacts facts;
    facts.read = ::GetFileInformationByHandle(file, &information) != FALSE;
    const DWORD length = ReadFinalPath(file, scratch);
    if (length == 0) facts.read = false;
    facts.attributes = information.dwFileAttributes;
    facts.linkCount = information.nNumberOfLinks;
    if (facts.read) facts.finalPath = std::wstring_view(scratch.data(), length);
    return JudgeOpenedLogFile(facts, reference);
}

ScopedFileHandle CreateNewLogFile(const std::wstring& path, DWORD access, DWORD share,
                                  const SECURITY_ATTRIBUTES* security, const std::wstring& reference,
                                  std::wstring& scratch) {
    ScopedFileHandle file = Open(path, access | FILE_READ_ATTRIBUTES | DELETE, share, CREATE_NEW, security);
    if (!file) return file;
    if (JudgeLogFileHandle(file.Get(), reference, scratch) != LogFileVerdict::Usable) {
        // Made here, through a folder that led elsewhere: it goes again.
        MarkForDeletion(file.Get());
        file.Reset();
        ::SetLastError(ERROR_ACCESS_DENIED);
    }
    return file;
}

ScopedFileHandle OpenLogFileForAppending(const std::wstring& path, const std::wstring& reference) {
    constexpr DWORD kAccess = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
    std::wstring scratch;
    // A link in the file's place loses its name and a fresh file is made;
    // another process may make the file between our opens: three rounds.
    for (int round = 0; round < 3; ++round) {
        ScopedFileHandle file = Open(path, kAccess, kShare, OPEN_EXISTING);
        if (file) {
            const LogFileVerdict verdict = JudgeLogFileHandle(file.Get(), reference, scratch);
            if (verdict == LogFileVerdict::Usable) return file;
            file.Reset();
            if (IsReplaceableLink(verdict) && DeleteLogFile(path, reference, scratch)) continue;
            ::SetLastError(ERROR_ACCESS_DENIED);
            return {};
        }
        if (::GetLastError() != ERROR_FILE_NOT_FOUND) return {};
        file = CreateNewLogFile(path, kAccess, kShare, nullptr, reference, scratch);
        if (file || ::GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return {};
}

bool DeleteLogFile(const std::wstring& path, const std::wstring& reference, std::wstring& scratch) {
    ScopedFileHandle file = Open(path, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    if (!file) return ::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND;
    // A link goes as the name it is; the file it links to stays.
    const LogFileVerdict verdict = JudgeLogFileHandle(file.Get(), reference, scratch);
    return (verdict == LogFileVerdict::Usable || IsReplaceableLink(verdict)) && MarkForDeletion(file.Get());
}

LogFileVerdict InspectLogFile(const std::wstring& path) {
    ScopedFileHandle file = Open(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 OPEN_EXISTING);
    if (!file) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? LogFileVerdict::Absent
                                                                               : LogFileVerdict::NotRead;
    }
    std::wstring scratch;
    return JudgeLogFileHandle(file.Get(), LogFolderReference(FolderOfPath(path)), scratch);
}

}  // namespace tqn
