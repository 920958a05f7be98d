#pragma once
// One owner template for every kind of Win32 resource: the value type, the
// value that means "nothing owned", and the function that releases it.
#ifdef _WIN32
#include <windows.h>
#include <objbase.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <string>
#include <utility>

#include "platform/system_crypto.h"

namespace tqn {

// What "nothing owned" is: null for most kinds, INVALID_HANDLE_VALUE for files.
struct NullIsEmpty {
    template <typename T>
    static T Value() { return T{}; }
};
struct InvalidHandleIsEmpty {
    template <typename T>
    static T Value() { return INVALID_HANDLE_VALUE; }
};

template <typename T, auto Release, typename EmptyPolicy = NullIsEmpty>
class ScopedResource {
    static T Empty() { return EmptyPolicy::template Value<T>(); }

public:
    ScopedResource() = default;
    explicit ScopedResource(T value) : value_(value) {}
    ~ScopedResource() { Reset(); }

    ScopedResource(const ScopedResource&) = delete;
    ScopedResource& operator=(const ScopedResource&) = delete;
    ScopedResource(ScopedResource&& other) noexcept : value_(other.Take()) {}
    ScopedResource& operator=(ScopedResource&& other) noexcept {
        if (this != &other) Reset(other.Take());
        return *this;
    }

    T Get() const { return value_; }
    bool Valid() const { return value_ != Empty(); }
    explicit operator bool() const { return Valid(); }

    // Address for out-parameters; whatever was owned is released first.
    T* Receive() {
        Reset();
        return &value_;
    }

    // Releasing keeps the caller's last error, so a failing call can be
    // cleaned up after and still be reported.
    void Reset(T value = Empty()) {
        if (value_ != Empty()) {
            const DWORD lastError = ::GetLastError();
            Release(value_);
            ::SetLastError(lastError);
        }
        value_ = value;
    }

    [[nodiscard]] T Take() { return std::exchange(value_, Empty()); }

private:
    T value_ = Empty();
};

namespace detail {
inline void CloseKernelHandle(HANDLE h) { ::CloseHandle(h); }
inline void CloseRegistryKey(HKEY k) { ::RegCloseKey(k); }
inline void FreeLocalMemory(HLOCAL m) { ::LocalFree(m); }
inline void FreeSidMemory(PSID s) { ::FreeSid(s); }
inline void ReleaseLibrary(HMODULE m) { ::FreeLibrary(m); }
inline void UnmapView(void* v) { ::UnmapViewOfFile(v); }
inline void CloseCertStore(HCERTSTORE s) { Crypto().CertCloseStore(s, 0); }
inline void CloseCryptMessage(HCRYPTMSG m) { Crypto().CryptMsgClose(m); }
inline void FreeCertContext(PCCERT_CONTEXT c) { Crypto().CertFreeCertificateContext(c); }
inline void FreeProcessHeapMemory(void* m) { ::HeapFree(::GetProcessHeap(), 0, m); }
inline void FreeTaskMemory(wchar_t* m) { ::CoTaskMemFree(m); }
}  // namespace detail

// Handles that are null when empty (tokens, processes, threads, mappings, mutexes).
using ScopedHandle = ScopedResource<HANDLE, detail::CloseKernelHandle>;
// Handles that are INVALID_HANDLE_VALUE when empty (CreateFileW).
using ScopedFileHandle = ScopedResource<HANDLE, detail::CloseKernelHandle, InvalidHandleIsEmpty>;
using ScopedKey = ScopedResource<HKEY, detail::CloseRegistryKey>;
using ScopedLocalMemory = ScopedResource<HLOCAL, detail::FreeLocalMemory>;
using ScopedSid = ScopedResource<PSID, detail::FreeSidMemory>;
using ScopedLibrary = ScopedResource<HMODULE, detail::ReleaseLibrary>;
using ScopedView = ScopedResource<void*, detail::UnmapView>;
// Certificate stores (closed with flags 0), crypt messages, certificate contexts.
using ScopedCertStore = ScopedResource<HCERTSTORE, detail::CloseCertStore>;
using ScopedCryptMessage = ScopedResource<HCRYPTMSG, detail::CloseCryptMessage>;
using ScopedCertContext = ScopedResource<PCCERT_CONTEXT, detail::FreeCertContext>;
// Blocks of the process heap that a call handed over (HeapFree).
using ScopedProcessHeapMemory = ScopedResource<void*, detail::FreeProcessHeapMemory>;
// Texts the shell hands over in task memory (CoTaskMemFree).
using ScopedTaskText = ScopedResource<wchar_t*, detail::FreeTaskMemory>;

// WinVerifyTrustEx's state for a file, from WTD_STATEACTION_VERIFY until
// WTD_STATEACTION_CLOSE. The state refers to the verifying call's structures
// (the policy may keep there a handle to the file that it opened itself), so
// this owner holds them, and the path, at fixed addresses and closes the
// state through them, with the same action.
class ScopedFileTrustState {
public:
    ScopedFileTrustState() = default;
    ~ScopedFileTrustState() { Reset(); }
    ScopedFileTrustState(const ScopedFileTrustState&) = delete;
    ScopedFileTrustState& operator=(const ScopedFileTrustState&) = delete;

    // Verifies the file with data and file as the caller filled them (the
    // union, the path and the state action are set here) and keeps the state.
    // The status of WinVerifyTrustEx, its last error left as it set it.
    LONG Verify(const GUID& action, const WINTRUST_DATA& data, const WINTRUST_FILE_INFO& file,
                const wchar_t* path) {
        Reset();
        action_ = action;
        path_ = path;
        file_ = file;
        file_.pcwszFilePath = path_.c_str();
        data_ = data;
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &file_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        data_.hWVTStateData = nullptr;
        if (!Crypto().complete) {
            ::SetLastError(static_cast<DWORD>(TRUST_E_PROVIDER_UNKNOWN));
            return TRUST_E_PROVIDER_UNKNOWN;
        }
        const LONG status = Crypto().WinVerifyTrustEx(nullptr, &action_, &data_);
        verified_ = data_.hWVTStateData != nullptr;  // no state, nothing to close
        return status;
    }

    HANDLE Get() const { return verified_ ? data_.hWVTStateData : nullptr; }

    // Closing keeps the caller's last error.
    void Reset() {
        if (!verified_) return;
        const DWORD lastError = ::GetLastError();
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        Crypto().WinVerifyTrustEx(nullptr, &action_, &data_);
        verified_ = false;
        ::SetLastError(lastError);
    }

private:
    bool verified_ = false;
    GUID action_{};
    std::wstring path_;
    WINTRUST_FILE_INFO file_{};
    WINTRUST_DATA data_{};
};

}  // namespace tqn
#endif
