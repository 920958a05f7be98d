#pragma once
// Starts a program that lies beside the running one, the way the launcher's
// plain path does (quoted path, a blank, the arguments), without waiting.
#include <string>

namespace tqn::kit {

bool StartBeside(const std::wstring& fileName, const std::wstring& arguments);

}  // namespace tqn::kit
