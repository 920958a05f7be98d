#pragma once
#ifdef _WIN32
namespace tqn {

// True when the process token is an enabled member of BUILTIN\Administrators
// (a token filtered by user account control is not).
bool IsAdministrator();

}  // namespace tqn
#endif
