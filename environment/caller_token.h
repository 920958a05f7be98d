#pragma once
// The caller token handed to every product module's initialise export: four
// hex digits of salt, then the MD5 of the system volume's serial text and the
// salt (36 upper-case hex digits in all).
#include <cstdint>
#include <optional>
#include <string>

namespace tqn {

// "%X" of the serial, or "Unknown" when it could not be read.
std::wstring VolumeText(std::optional<uint32_t> volumeSerial);

// "%02X%02X" of r2 then r1 (each taken modulo 256).
std::wstring CallerTokenSalt(uint32_t r1, uint32_t r2);

// Salt + MD5 hex of the ANSI form of volume text + salt.
std::wstring ComposeCallerToken(std::optional<uint32_t> volumeSerial, uint32_t r1, uint32_t r2);

// The root whose volume serial is read: the first three characters of the
// Windows folder when they are "X:\", else "C:\".
std::wstring VolumeRootOf(const std::wstring& windowsFolder);

// True when token has the caller token's shape: 36 upper-case hex digits.
bool HasCallerTokenShape(const std::wstring& token);

#ifdef _WIN32
// Gathers the facts (reseeds rand with the time in seconds, reads the Windows
// folder and its volume's serial, draws r1 then r2) and composes a token.
// Empty when the Windows folder cannot be read.
std::wstring BuildCallerToken();
// What a product module checks: the token has the shape and its digest is the
// one this system's volume serial and the token's own salt give.
bool CallerTokenMatchesSystem(const std::wstring& token);
#endif

}  // namespace tqn
