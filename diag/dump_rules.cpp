#include "diag/dump_rules.h"

namespace tqn {

std::wstring DumpPathFor(const std::wstring& logFolder, const std::wstring& programFile) {
    if (logFolder.empty()) return {};
    return logFolder + L"\\" + programFile + L".dmp";
}

std::wstring DumpFileSddl(const std::wstring& userSid, bool elevated) {
    return L"O:" + userSid + L"D:P(A;;FA;;;" + userSid + L")(A;;FA;;;SY)(A;;FA;;;BA)" +
           (elevated ? L"S:(ML;;NWNR;;;HI)" : L"");
}

}  // namespace tqn
