#include "trust/root_store.h"

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "platform/scoped_resource.h"

namespace tqn {

namespace {

bool ReadWholeFile(const std::wstring& path, std::vector<BYTE>& bytes) {
    ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > (1 << 20)) {
        return false;
    }
    std::vector<BYTE> data(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!::ReadFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &read, nullptr) ||
        read != data.size()) {
        return false;
    }
    bytes.swap(data);
    return true;
}

}  // namespace

bool AddCertificateFileToMachineRoot(const std::wstring& derPath) {
    std::vector<BYTE> der;
    if (!ReadWholeFile(derPath, der)) return false;
    ScopedCertStore root(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                         CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT"));
    if (!root) return false;
    return ::CertAddEncodedCertificateToStore(root.Get(), X509_ASN_ENCODING, der.data(),
                                              static_cast<DWORD>(der.size()),
                                              CERT_STORE_ADD_USE_EXISTING, nullptr) != FALSE;
}

std::wstring DefaultTestCaPath() {
    wchar_t buffer[MAX_PATH * 2] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, ARRAYSIZE(buffer));
    if (length == 0 || length >= ARRAYSIZE(buffer)) return {};
    std::wstring path(buffer, length);
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return {};
    path.resize(slash);
    return path + L"\\..\\testca\\ca.der";
}

}  // namespace tqn
