#include "platform/system_crypto.h"

#include <string>

#include "platform/dll_search.h"

namespace tqn {

namespace {

// From the system folder by full path, its own imports from there too.
HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) return nullptr;
    return LoadModuleFromItsFolder(std::wstring(folder, length) + L"\\" + name);
}

template <typename Function>
void Bind(HMODULE module, const char* name, Function& slot, bool& complete) {
    slot = module ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
    complete = complete && slot != nullptr;
}

SystemCrypto BindSystemCrypto() {
    SystemCrypto crypto;
    const HMODULE crypt32 = LoadSystemLibrary(L"crypt32.dll");
    const HMODULE wintrust = LoadSystemLibrary(L"wintrust.dll");
    bool complete = true;
    Bind(wintrust, "WinVerifyTrustEx", crypto.WinVerifyTrustEx, complete);
    Bind(wintrust, "WTHelperProvDataFromStateData", crypto.WTHelperProvDataFromStateData, complete);
    Bind(crypt32, "CertOpenStore", crypto.CertOpenStore, complete);
    Bind(crypt32, "CertCloseStore", crypto.CertCloseStore, complete);
    Bind(crypt32, "CryptQueryObject", crypto.CryptQueryObject, complete);
    Bind(crypt32, "CryptMsgGetParam", crypto.CryptMsgGetParam, complete);
    Bind(crypt32, "CryptMsgClose", crypto.CryptMsgClose, complete);
    Bind(crypt32, "CertFindCertificateInStore", crypto.CertFindCertificateInStore, complete);
    Bind(crypt32, "CertGetNameStringW", crypto.CertGetNameStringW, complete);
    Bind(crypt32, "CertFreeCertificateContext", crypto.CertFreeCertificateContext, complete);
    crypto.complete = complete;
    return crypto;
}

}  // namespace

const SystemCrypto& Crypto() {
    static const SystemCrypto crypto = BindSystemCrypto();
    return crypto;
}

}  // namespace tqn
