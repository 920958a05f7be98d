#include "platform/process_settings.h"

namespace tqn {

namespace {
std::wstring& ExtNameStorage() {
    static std::wstring value;
    return value;
}
std::wstring& TrayFileStorage() {
    static std::wstring value;
    return value;
}
}  // namespace

const std::wstring& ExtName() { return ExtNameStorage(); }
void SetExtName(const std::wstring& value) { ExtNameStorage() = value; }
const std::wstring& TrayFile() { return TrayFileStorage(); }
void SetTrayFile(const std::wstring& value) { TrayFileStorage() = value; }

}  // namespace tqn
