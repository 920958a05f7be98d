#include <windows.h>

#include "diag/log_file.h"
#include "diag/trace_reader.h"
#include "platform/module_path.h"
#include "platform/scoped_resource.h"

namespace tqn {

LogFileVerdict ReadTraceFile(const std::wstring& path, size_t count, std::vector<TraceFileRecord>& records) {
    // Opened as itself (a link is not followed), shared so that no writer or
    // the 4 MiB rule's deletion is held up.
    const ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                              nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? LogFileVerdict::Absent
                                                                               : LogFileVerdict::NotRead;
    }
    std::wstring scratch;
    const LogFileVerdict verdict = JudgeLogFileHandle(file.Get(), LogFolderReference(FolderOfPath(path)), scratch);
    if (verdict != LogFileVerdict::Usable) return verdict;

    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0) return LogFileVerdict::NotRead;
    const uint64_t total = static_cast<uint64_t>(size.QuadPart);
    LARGE_INTEGER from{};
    from.QuadPart = static_cast<LONGLONG>(total > kTraceReadLimit ? total - kTraceReadLimit : 0);
    if (!::SetFilePointerEx(file.Get(), from, nullptr, FILE_BEGIN)) return LogFileVerdict::NotRead;
    std::string bytes(static_cast<size_t>(total - static_cast<uint64_t>(from.QuadPart)), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read, nullptr) ||
            read == 0) {
            break;  // the file was cut meanwhile: what was read counts
        }
        done += read;
    }
    bytes.resize(done);
    records = ReadTraceRecords(bytes, count, from.QuadPart > 0);
    return LogFileVerdict::Usable;
}

}  // namespace tqn
