#include "diag/trace_settings.h"

namespace tqn {

TracePathChoice ChooseTracePath(const std::wstring& slotPath, const std::wstring& toolPath, bool sameFile) {
    if (toolPath.empty()) return {};
    if (!slotPath.empty() && sameFile) return {slotPath, false};
    return {toolPath, true};
}

}  // namespace tqn
