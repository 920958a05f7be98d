#pragma once
// The plain decisions of trusted loading, apart from the system calls.
#include <cstdint>
#include <string>

namespace tqn {

inline constexpr int32_t kTrustNoSignature = static_cast<int32_t>(0x800B0100);        // TRUST_E_NOSIGNATURE
inline constexpr int32_t kTrustProviderUnknown = static_cast<int32_t>(0x800B0001);    // TRUST_E_PROVIDER_UNKNOWN
inline constexpr int32_t kTrustSubjectFormUnknown = static_cast<int32_t>(0x800B0003); // TRUST_E_SUBJECT_FORM_UNKNOWN

// The result of the trust test when the policy reported "no signature": the
// thread's last error, as an HRESULT (a positive Win32 code keeps its low 16
// bits under 0x80070000; zero and negative values are taken as they are).
// A last error of 0 would read as "trusted" for a file without a signature,
// so the no-signature status is kept then.
int32_t NoSignatureResult(uint32_t lastError);

// Whether a no-signature result is unusual enough for a trace line (every
// result but the three ordinary "nothing to verify" statuses).
bool IsUnusualNoSignatureResult(int32_t result);

// Case-insensitive comparison of two whole names (0 when equal). Only ASCII
// letters fold, as in the C locale.
int CompareNamesIgnoringCase(const std::wstring& a, const std::wstring& b);

// The name CertGetNameStringW wrote: all `written` characters but the final
// terminator, so a NUL inside the certificate's name stays part of it (and
// "Brennick Corp." followed by a NUL and more text never matches).
std::wstring SignerNameFromBuffer(const wchar_t* text, uint32_t written);

// What CompareSignerName returns: -2 when no name was read or it is empty,
// else the case-insensitive comparison with expected.
int SignerComparisonResult(bool nameRead, const std::wstring& name, const std::wstring& expected);

}  // namespace tqn
