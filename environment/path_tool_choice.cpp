#include "environment/path_tool_choice.h"

namespace tqn {

std::wstring ChooseProductFolder(const std::wstring& requested, const std::wstring& sharedFolder,
                                 const std::wstring& programFolder) {
    if (!requested.empty()) return requested;
    if (!sharedFolder.empty()) return sharedFolder;
    return programFolder;
}

LookupExport ChooseLookupExport(bool newerBound, bool olderBound) {
    if (newerBound) return LookupExport::Newer;
    if (olderBound) return LookupExport::Older;
    return LookupExport::None;
}

}  // namespace tqn
