#include "trust/certificate_tool.h"

#include <softpub.h>
#include <wintrust.h>

#include <cstddef>
#include <utility>

#include "diag/trace.h"
#include "platform/scoped_resource.h"
#include "trust/trust_rules.h"

namespace tqn {

namespace {

// {FC451C16-AC75-11D1-B4B8-00C04FB66EA0}
constexpr GUID kGenericChainVerify = {
    0xFC451C16, 0xAC75, 0x11D1, {0xB4, 0xB8, 0x00, 0xC0, 0x4F, 0xB6, 0x6E, 0xA0}};

// The structure up to and including dwUIContext: later members stay unused.
constexpr DWORD kWinTrustDataSize = offsetof(WINTRUST_DATA, dwUIContext) + sizeof(DWORD);
#ifdef _WIN64
static_assert(kWinTrustDataSize == 80);
static_assert(sizeof(WINTRUST_FILE_INFO) == 32);
#endif

// Embedded PKCS #7 signature (0x400) together with 0x8 and 0x1.
constexpr DWORD kExpectedContentTypes = 0x409;
constexpr DWORD kSignerInfoParam = 6;  // CMSG_SIGNER_INFO_PARAM
constexpr DWORD kCertEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

std::function<LONG(const wchar_t*)>& TrustStatusOverride() {
    static std::function<LONG(const wchar_t*)> status;
    return status;
}

}  // namespace

HRESULT CertificateToolEx::VerifyFileTrust(const wchar_t* path, HANDLE heldFile) const {
    return VerifiedFile(path, heldFile).TrustResult();
}

CertificateToolEx::VerifiedFile::VerifiedFile(const wchar_t* path, HANDLE heldFile) : path_(path) {
    // The path, the union and the state action (VERIFY: the state stays for
    // the signer's name) are set by the state's owner, in its own copies.
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof(WINTRUST_FILE_INFO);
    file.hFile = heldFile;
    file.pgKnownSubject = nullptr;

    WINTRUST_DATA data{};
    data.cbStruct = kWinTrustDataSize;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwProvFlags = WTD_SAFER_FLAG;
    data.dwUIContext = 0;

    status_ = state_.Verify(kGenericChainVerify, data, file, path);
    lastError_ = ::GetLastError();
    if (TrustStatusOverride()) {
        status_ = TrustStatusOverride()(path);
        lastError_ = ::GetLastError();
    }
}

HRESULT CertificateToolEx::VerifiedFile::TrustResult() const {
    if (status_ != static_cast<HRESULT>(kTrustNoSignature)) return status_;

    const HRESULT result = NoSignatureResult(lastError_);
    if (IsUnusualNoSignatureResult(result)) {
        TraceEvent(TraceTag::UnusualNoSignature, result, path_);
    }
    return result;
}

int CertificateToolEx::VerifiedFile::ReadSignerName(std::wstring& name) const {
    // The message the verification read (owned by the state); its
    // certificates are looked up as CryptQueryObject would offer them.
    const HANDLE state = state_.Get();
    const CRYPT_PROVIDER_DATA* provider = state ? Crypto().WTHelperProvDataFromStateData(state) : nullptr;
    if (provider == nullptr || provider->hMsg == nullptr) return kNoEmbeddedSignature;
    ScopedCertStore store(Crypto().CertOpenStore(CERT_STORE_PROV_MSG, kCertEncoding, 0, 0, provider->hMsg));
    if (!store) return kNoEmbeddedSignature;
    return ReadFirstSignerName(provider->hMsg, store.Get(), name);
}

int CertificateToolEx::ReadSignerName(const ObejctInterface& object, std::wstring& name) const {
    // Declared so that the store goes before the message.
    ScopedCryptMessage message;
    ScopedCertStore store;

    DWORD encoding = 0, contentType = 0, formatType = 0;
    if (!Crypto().complete) return kNoEmbeddedSignature;
    if (!Crypto().CryptQueryObject(object.ObjectType(), object.Object(), kExpectedContentTypes,
                            CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType,
                            store.Receive(), message.Receive(), nullptr)) {
        return kNoEmbeddedSignature;
    }
    return ReadFirstSignerName(message.Get(), store.Get(), name);
}

int CertificateToolEx::ReadFirstSignerName(HCRYPTMSG message, HCERTSTORE store, std::wstring& name) {
    // Declared so that they are released in this order: signer information,
    // certificate.
    ScopedCertContext certificate;
    ScopedLocalMemory signerInfo;

    DWORD size = 0;
    if (!Crypto().CryptMsgGetParam(message, kSignerInfoParam, 0, nullptr, &size)) {
        TraceEvent(TraceTag::SignerInfoSizeFailed, ::GetLastError());
        return kSignerInfoSizeFailed;
    }
    signerInfo.Reset(::LocalAlloc(LPTR, size));
    if (!signerInfo) {
        TraceEvent(TraceTag::SignerInfoNoMemory);
        return kSignerInfoNoMemory;
    }
    if (!Crypto().CryptMsgGetParam(message, kSignerInfoParam, 0, signerInfo.Get(), &size)) {
        TraceEvent(TraceTag::SignerInfoReadFailed, ::GetLastError());
        return kSignerInfoReadFailed;
    }

    const auto* info = static_cast<const CMSG_SIGNER_INFO*>(signerInfo.Get());
    CERT_INFO wanted{};
    wanted.Issuer = info->Issuer;
    wanted.SerialNumber = info->SerialNumber;
    certificate.Reset(Crypto().CertFindCertificateInStore(store, kCertEncoding, 0,
                                                   CERT_FIND_SUBJECT_CERT, &wanted, nullptr));
    if (!certificate) {
        TraceEvent(TraceTag::SignerCertificateMissing, ::GetLastError());
        return kSignerCertificateNotFound;
    }

    // Any of the three failures is followed by the same closing line with
    // the error of the call that failed.
    const DWORD length =
        Crypto().CertGetNameStringW(certificate.Get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
    if (length == 0) {
        const DWORD error = ::GetLastError();
        TraceEvent(TraceTag::SignerNameLengthFailed);
        TraceEvent(TraceTag::SignerNameError, error);
        return kSignerNameUnreadable;
    }
    ScopedLocalMemory text(::LocalAlloc(LPTR, sizeof(wchar_t) * length));
    if (!text) {
        const DWORD error = ::GetLastError();
        TraceEvent(TraceTag::SignerNameNoMemory);
        TraceEvent(TraceTag::SignerNameError, error);
        return kSignerNameUnreadable;
    }
    const DWORD written = Crypto().CertGetNameStringW(certificate.Get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr,
                                               static_cast<wchar_t*>(text.Get()), length);
    if (written == 0) {
        const DWORD error = ::GetLastError();
        TraceEvent(TraceTag::SignerNameReadFailed);
        TraceEvent(TraceTag::SignerNameError, error);
        return kSignerNameUnreadable;
    }
    name = SignerNameFromBuffer(static_cast<const wchar_t*>(text.Get()), written <= length ? written : length);
    return kNameRead;
}

void SetTrustStatusForTesting(std::function<LONG(const wchar_t* path)> status) {
    TrustStatusOverride() = std::move(status);
}

}  // namespace tqn
