#pragma once
// The launcher's process-wide settings, read once at start-up from the
// product's script data and consulted by the association guard and the launch.
#include <string>

namespace tqn {

// The guarded extension, without its leading dot; empty until read.
const std::wstring& ExtName();
void SetExtName(const std::wstring& value);

// The tray program's file name in the program folder; empty until read.
const std::wstring& TrayFile();
void SetTrayFile(const std::wstring& value);

}  // namespace tqn
