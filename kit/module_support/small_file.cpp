#include "kit/module_support/small_file.h"

#include "platform/scoped_resource.h"

namespace tqn::kit {

namespace {

std::wstring ErrorText(const wchar_t* what, const std::wstring& path, DWORD code) {
    return std::wstring(what) + L" " + path + L" (error " + std::to_wstring(code) + L")";
}

}  // namespace

SmallFileRead ReadSmallFile(const std::wstring& path, size_t largest, std::string& bytes, std::wstring& error) {
    ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return SmallFileRead::Missing;
        error = ErrorText(L"cannot open", path, code);
        return SmallFileRead::Failed;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) {
        error = ErrorText(L"cannot read", path, ::GetLastError());
        return SmallFileRead::Failed;
    }
    if (size.QuadPart > static_cast<LONGLONG>(largest)) {
        error = path + L" is larger than " + std::to_wstring(largest) + L" bytes (" +
                std::to_wstring(size.QuadPart) + L" bytes)";
        return SmallFileRead::Failed;
    }
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        error = ErrorText(L"cannot read", path, ::GetLastError());
        return SmallFileRead::Failed;
    }
    return SmallFileRead::Read;
}

}  // namespace tqn::kit
