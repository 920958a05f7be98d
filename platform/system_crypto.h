#pragma once
// The functions of wintrust and crypt32 that the trust tests use, bound at
// run time from the system folder by full path. Neither DLL is among the
// system's KnownDLLs: imported statically, each would be looked for beside
// the program first, before any code of ours could restrict the search, and
// a DLL of that name beside an elevated copy would run as administrator.
#ifdef _WIN32
#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

namespace tqn {

struct SystemCrypto {
    decltype(&::WinVerifyTrustEx) WinVerifyTrustEx = nullptr;
    decltype(&::WTHelperProvDataFromStateData) WTHelperProvDataFromStateData = nullptr;
    decltype(&::CertOpenStore) CertOpenStore = nullptr;
    decltype(&::CertCloseStore) CertCloseStore = nullptr;
    decltype(&::CryptQueryObject) CryptQueryObject = nullptr;
    decltype(&::CryptMsgGetParam) CryptMsgGetParam = nullptr;
    decltype(&::CryptMsgClose) CryptMsgClose = nullptr;
    decltype(&::CertFindCertificateInStore) CertFindCertificateInStore = nullptr;
    decltype(&::CertGetNameStringW) CertGetNameStringW = nullptr;
    decltype(&::CertFreeCertificateContext) CertFreeCertificateContext = nullptr;
    bool complete = false;  // every function bound; nothing is verified otherwise
};

// Bound on the first call; the two DLLs stay loaded for the process.
const SystemCrypto& Crypto();

}  // namespace tqn
#endif
