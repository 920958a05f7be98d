#pragma once
// Adding the build tree's test signing CA to the LocalMachine ROOT store, so
// that chain verification accepts the test leaves (test prefixes only).
#ifdef _WIN32
#include <string>

namespace tqn {

// Adds a DER-encoded certificate file to the LocalMachine ROOT store; a
// certificate already there is kept. True on success.
bool AddCertificateFileToMachineRoot(const std::wstring& derPath);

// <folder of this program>\..\testca\ca.der, or empty if the program's path
// cannot be read.
std::wstring DefaultTestCaPath();

}  // namespace tqn
#endif
