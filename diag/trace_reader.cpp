#include "diag/trace_reader.h"

#include "crypt/utf8_codec.h"

namespace tqn {

namespace {

// "[ 2026-12-08 18:31:33 123ms ]": '0' stands for any digit.
constexpr std::string_view kStampForm = "[ 0000-00-00 00:00:00 000ms ]";
constexpr std::wstring_view kMessageStart = L"        [";
constexpr size_t kLongestTag = 64;

bool StartsWithStamp(std::string_view line) {
    if (line.size() < kStampForm.size()) return false;
    for (size_t i = 0; i < kStampForm.size(); ++i) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (kStampForm[i] == '0' ? !digit : line[i] != kStampForm[i]) return false;
    }
    return true;
}

std::wstring_view TrimEnd(std::wstring_view text) {
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.remove_suffix(1);
    }
    return text;
}

std::wstring_view TrimStart(std::wstring_view text) {
    while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
    return text;
}

// "{tag} values": the tag when the message starts with a short braced word.
void SplitMessage(std::wstring_view message, TraceFileRecord& record) {
    const size_t close = message.find(L'}');
    if (!message.empty() && message.front() == L'{' && close != std::wstring_view::npos && close < kLongestTag &&
        message.substr(0, close).find(L' ') == std::wstring_view::npos) {
        record.tag = message.substr(0, close + 1);
        message.remove_prefix(close + 1);
    }
    record.rest = TrimStart(message);
}

// One record's text, its stamp first: the stamp, a writer's class segment
// (through its line end), " [program]", then "        [message]".
TraceFileRecord ParseRecord(std::wstring_view text) {
    TraceFileRecord record;
    record.time = std::wstring(text.substr(2, 10)) + L' ' + std::wstring(text.substr(13, 8)) + L'.' +
                  std::wstring(text.substr(22, 3));
    std::wstring_view after = text.substr(kStampForm.size());
    if (after.starts_with(L", CLASS_FUNC[")) {
        const size_t end = after.find(L'\n');
        after.remove_prefix(end == std::wstring_view::npos ? after.size() : end + 1);
    }
    const size_t message = after.find(kMessageStart);
    const std::wstring_view head = TrimEnd(after.substr(0, message));
    if (head.starts_with(L" [") && head.ends_with(L']')) {
        record.program = head.substr(2, head.size() - 3);
    } else if (message == std::wstring_view::npos) {
        record.rest = TrimStart(head);
        return record;
    }
    if (message == std::wstring_view::npos) return record;
    // The message closes at the record's last bracket: lines after it that
    // start no record (garbage) are dropped.
    std::wstring_view body = after.substr(message + kMessageStart.size());
    const size_t close = body.rfind(L']');
    SplitMessage(TrimEnd(close == std::wstring_view::npos ? body : body.substr(0, close)), record);
    return record;
}

}  // namespace

std::vector<TraceFileRecord> ReadTraceRecords(std::string_view bytes, size_t count, bool cutAtFront) {
    std::vector<size_t> starts;
    size_t line = 0;
    if (cutAtFront) {
        const size_t end = bytes.find('\n');
        line = end == std::string_view::npos ? bytes.size() : end + 1;
    }
    while (line < bytes.size()) {
        if (StartsWithStamp(bytes.substr(line))) starts.push_back(line);
        const size_t end = bytes.find('\n', line);
        if (end == std::string_view::npos) break;
        line = end + 1;
    }
    std::vector<TraceFileRecord> records;
    const size_t first = starts.size() > count ? starts.size() - count : 0;
    for (size_t i = first; i < starts.size(); ++i) {
        const size_t end = i + 1 < starts.size() ? starts[i + 1] : bytes.size();
        const std::wstring text = DecodeUtf8(bytes.data() + starts[i], end - starts[i]);
        records.push_back(ParseRecord(text));
    }
    return records;
}

}  // namespace tqn
