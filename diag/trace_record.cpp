#include "diag/trace_record.h"

#include "crypt/format.h"

namespace tqn {

std::wstring BuildTraceRecordStamp(const TraceTime& time) {
    std::wstring stamp;
    AppendFormat(stamp, L"[ %04d-%02d-%02d %02d:%02d:%02d %03dms ]", time.year, time.month, time.day, time.hour,
                 time.minute, time.second, time.millisecond);
    return stamp;
}

std::wstring BuildTraceRecord(const TraceTime& time, const std::wstring& tag,
                              const std::optional<std::wstring>& programName,
                              const std::wstring& message) {
    std::wstring record = BuildTraceRecordStamp(time);
    if (!tag.empty()) {
        AppendFormat(record, L", CLASS_FUNC[%ls] (LINE: %d)", tag.c_str(), 0);
        record += L'\n';
    }
    if (programName) {
        record += L" [";
        record += *programName;
        record += L']';
    }
    if (!message.empty()) {
        record += L"        [";
        record += message;
        record += L"]\n";
    }
    return record;
}

std::wstring ProgramNameFromPath(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring KeptTraceMessage(int formatterResult, const wchar_t* buffer, size_t limit) {
    if (formatterResult < 0 || static_cast<size_t>(formatterResult) > limit || buffer == nullptr) {
        return {};
    }
    return std::wstring(buffer, static_cast<size_t>(formatterResult));
}

}  // namespace tqn
