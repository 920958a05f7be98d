#pragma once
// The three callers' orders of the trust test and the signer test, written
// over the two tests as functions so the order is the only thing here.
#include <cstdint>
#include <functional>
#include <string>

namespace tqn {

inline constexpr wchar_t kFirstAcceptedSigner[] = L"Brennick Corp.";
inline constexpr wchar_t kSecondAcceptedSigner[] = L"Halvreth Corp.";

struct TrustTests {
    // The trust test: zero or above means trusted.
    std::function<int32_t()> verifyTrust;
    // A fresh reading of the signer of the signature the trust test verifies,
    // compared with a name: 0 when it matches.
    std::function<int(const std::wstring& expected)> compareSigner;
};

// Path tool: trust test; if trusted, the first name, then (read again) the second.
bool PathToolTestsPass(const TrustTests& tests);
// Configuration module: the first name, then (read again) the second; only
// if one matched, the trust test.
bool ConfigModuleTestsPass(const TrustTests& tests);
// Script module: trust test; if trusted, the first name, then the second.
bool ScriptModuleTestsPass(const TrustTests& tests);

}  // namespace tqn
