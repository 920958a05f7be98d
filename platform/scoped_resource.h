#pragma once
// One owner template for every kind of Win32 resource: the value type, the
// value that means "nothing owned", and the function that releases it.
#ifdef _WIN32
#include <windows.h>
#include <wincrypt.h>

#include <utility>

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
inline void CloseCertStore(HCERTSTORE s) { ::CertCloseStore(s, 0); }
inline void CloseCryptMessage(HCRYPTMSG m) { ::CryptMsgClose(m); }
inline void FreeCertContext(PCCERT_CONTEXT c) { ::CertFreeCertificateContext(c); }
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

}  // namespace tqn
#endif
