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
        TraceW(L"{28AC245E-7AFA-4DBB-A551-38E3F70CBA4A} [0x%x][%s]", result, path_);
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
        TraceW(L"{3CADA513-E7C8-43CC-8831-0E6EB41B36C4} %x", ::GetLastError());
        return kSignerInfoSizeFailed;
    }
    signerInfo.Reset(::LocalAlloc(LPTR, size));
    if (!signerInfo) {
        TraceW(L"{E84A9072-3C12-43CF-A85C-B360948E3026}");
        return kSignerInfoNoMemory;
    }
    if (!Crypto().CryptMsgGetParam(message, kSignerInfoParam, 0, signerInfo.Get(), &size)) {
        TraceW(L"{22BE245B-EB8E-435E-BCF0-64E99A58A74A} %x", ::GetLastError());
        return kSignerInfoReadFailed;
    }

    const auto* info = static_cast<const CMSG_SIGNER_INFO*>(signerInfo.Get());
    CERT_INFO wanted{};
    wanted.Issuer = info->Issuer;
    wanted.SerialNumber = info->SerialNumber;
    certificate.Reset(Crypto().CertFindCertificateInStore(store, kCertEncoding, 0,
                                                   CERT_FIND_SUBJECT_CERT, &wanted, nullptr));
    if (!certificate) {
        TraceW(L"{21E0218A-2B22-45D8-83C2-E82A55BDC051} %x\n", ::GetLastError());
        return kSignerCertificateNotFound;
    }

    // Any of the three failures is followed by the same closing line with
    // the error of the call that failed.
    const DWORD length =
        Crypto().CertGetNameStringW(certificate.Get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
    if (length == 0) {
        const DWORD error = ::GetLastError();
        TraceW(L"{9B8B8973-36CA-48BB-BBD7-E5B07220FDD0}");
        TraceW(L"{25E193A5-C033-4908-B25F-D08E8E04EA17} %x\n", error);
        return kSignerNameUnreadable;
    }
    ScopedLocalMemory text(::LocalAlloc(LPTR, sizeof(wchar_t) * length));
    if (!text) {
        const DWORD error = ::GetLastError();
        TraceW(L"{37E922D6-DE16-406B-9D23-E7FFBF573375}");
        TraceW(L"{25E193A5-C033-4908-B25F-D08E8E04EA17} %x\n", error);
        return kSignerNameUnreadable;
    }
    const DWORD written = Crypto().CertGetNameStringW(certificate.Get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr,
                                               static_cast<wchar_t*>(text.Get()), length);
    if (written == 0) {
        const DWORD error = ::GetLastError();
        TraceW(L"{B0C9A2AD-4088-429F-8A52-A272D0867F2F}");
        TraceW(L"{25E193A5-C033-4908-B25F-D08E8E04EA17} %x\n", error);
        return kSignerNameUnreadable;
    }
    name = SignerNameFromBuffer(static_cast<const wchar_t*>(text.Get()), written <= length ? written : length);
    return kNameRead;
}

void SetTrustStatusForTesting(std::function<LONG(const wchar_t* path)> status) {
    TrustStatusOverride() = std::move(status);
}

}  // namespace tqn
