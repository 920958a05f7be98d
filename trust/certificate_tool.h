#pragma once
// The signature-checking tool: the Authenticode trust test on a file and the
// reader of the first signer's name from an embedded signature.
#ifdef _WIN32
#include <windows.h>
#include <wincrypt.h>

#include <functional>
#include <string>

#include "platform/scoped_resource.h"

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

    // One verification of a file, as VerifyFileTrust makes it, whose state is
    // kept while this object lives: the signer's name is then read from the
    // very signature that was verified, never from a second reading of the
    // path (whose folder may name another file by then).
    class VerifiedFile {
    public:
        // path names the file in the trace; with a handle open for reading,
        // the file is read through the handle only.
        VerifiedFile(const wchar_t* path, HANDLE file);

        // The trust test's result, traced as VerifyFileTrust traces it.
        HRESULT TrustResult() const;

        // The first signer's simple display name, read from the signature
        // message that the verification read; codes and trace lines as
        // ReadSignerName's. name is set only when the result is kNameRead.
        int ReadSignerName(std::wstring& name) const;

    private:
        const wchar_t* path_;
        LONG status_ = 0;
        DWORD lastError_ = 0;
        ScopedFileTrustState state_;
    };

private:
    // The reader's steps after the message is at hand: the first signer's
    // information, its certificate among the message's, its name.
    static int ReadFirstSignerName(HCRYPTMSG message, HCERTSTORE store, std::wstring& name);
};

// Test seam for what Wine's policy never reports (a "no signature" status with
// an unusual last error): replaces the status of WinVerifyTrustEx; the
// function sets the last error as the policy would. Empty restores the call.
void SetTrustStatusForTesting(std::function<LONG(const wchar_t* path)> status);

}  // namespace tqn
#endif
