#pragma once
// The signature-checking tool: the Authenticode trust test on a file and the
// reader of the first signer's name from an embedded signature.
#ifdef _WIN32
#include <windows.h>
#include <wincrypt.h>

#include <functional>
#include <string>

namespace tqn {

class CertificateToolEx {
public:
    // What CryptQueryObject reads the signature from.
    class ObejctInterface {
    public:
        virtual DWORD ObjectType() const = 0;
        virtual const void* Object() const = 0;

    protected:
        // Instances live on their user's stack and are never deleted through
        // this type.
        ~ObejctInterface() = default;
    };

    // A file named by a NUL-terminated wide path (not owned).
    class FileObejct final : public ObejctInterface {
    public:
        explicit FileObejct(const wchar_t* path) : path_(path) {}
        DWORD ObjectType() const override { return CERT_QUERY_OBJECT_FILE; }
        const void* Object() const override { return path_; }

    private:
        const wchar_t* path_;
    };

    // Reader result codes.
    enum ReadResult : int {
        kNameRead = 0,
        kNoEmbeddedSignature = -1,
        kSignerInfoSizeFailed = -2,
        kSignerInfoNoMemory = -3,
        kSignerInfoReadFailed = -4,
        kSignerCertificateNotFound = -6,
        kSignerNameUnreadable = -7,
    };

    // WinVerifyTrustEx under the generic chain-verification policy, without
    // revocation checks. Zero or above means trusted.
    // With a handle to the file open for reading, the check reads through it.
    HRESULT VerifyFileTrust(const wchar_t* path, HANDLE file = nullptr) const;

    // Reads the first signer's simple display name. name is set only when the
    // result is kNameRead.
    int ReadSignerName(const ObejctInterface& object, std::wstring& name) const;
};

// Test seam for what Wine's policy never reports (a "no signature" status with
// an unusual last error): replaces the status of WinVerifyTrustEx; the
// function sets the last error as the policy would. Empty restores the call.
void SetTrustStatusForTesting(std::function<LONG(const wchar_t* path)> status);

}  // namespace tqn
#endif
