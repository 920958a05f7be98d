#include "environment/tests/test_support.h"

#include <objbase.h>

#include "crypt/text_conversion.h"
#include "environment/path_tool_choice.h"
#include "platform/module_path.h"
#include "platform/scoped_resource.h"

namespace tqn::testing {

std::wstring NewGuidText() {
    GUID guid{};
    ::CoCreateGuid(&guid);
    wchar_t text[64] = {};
    ::StringFromGUID2(guid, text, 64);
    std::wstring plain;
    for (const wchar_t* c = text; *c; ++c) {
        if (*c != L'{' && *c != L'}') plain.push_back(*c);
    }
    return plain;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > (1 << 30)) return false;
    std::string content(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!content.empty() &&
        !::ReadFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &read, nullptr)) {
        return false;
    }
    content.resize(read);
    bytes = std::move(content);
    return true;
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RunProgram(const std::wstring& commandLine, std::string& output, DWORD& exitCode,
                const std::function<void(DWORD processId)>& beforeResume) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    ScopedHandle readEnd;
    ScopedHandle writeEnd;
    {
        HANDLE r = nullptr;
        HANDLE w = nullptr;
        if (!::CreatePipe(&r, &w, &inheritable, 0)) return false;
        readEnd.Reset(r);
        writeEnd.Reset(w);
    }
    ::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    startup.hStdInput = nullptr;
    PROCESS_INFORMATION process{};
    std::wstring mutableLine = commandLine;
    if (!::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, beforeResume ? CREATE_SUSPENDED : 0,
                          nullptr, nullptr, &startup, &process)) {
        return false;
    }
    ScopedHandle processHandle(process.hProcess);
    ScopedHandle threadHandle(process.hThread);
    writeEnd.Reset();  // the child holds the only write end now
    if (beforeResume) {
        beforeResume(process.dwProcessId);
        ::ResumeThread(threadHandle.Get());
    }

    // Read until the child has ended and the pipe is drained, not until the
    // pipe closes: a process the child started (the desktop process Wine
    // starts for the first window, say) may hold the write end for ever.
    output.clear();
    char buffer[4096];
    const ULONGLONG deadline = ::GetTickCount64() + 60000;
    for (;;) {
        DWORD available = 0;
        if (!::PeekNamedPipe(readEnd.Get(), nullptr, 0, nullptr, &available, nullptr)) break;  // closed
        if (available > 0) {
            DWORD read = 0;
            if (!::ReadFile(readEnd.Get(), buffer, sizeof(buffer), &read, nullptr) || read == 0) break;
            output.append(buffer, read);
            continue;
        }
        if (::WaitForSingleObject(processHandle.Get(), 20) == WAIT_OBJECT_0) {
            // Whatever it wrote before ending is in the pipe now.
            while (::PeekNamedPipe(readEnd.Get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
                DWORD read = 0;
                if (!::ReadFile(readEnd.Get(), buffer, sizeof(buffer), &read, nullptr) || read == 0) break;
                output.append(buffer, read);
            }
            break;
        }
        if (::GetTickCount64() > deadline) {
            // A hung child must not outlive its test (nor hold its files).
            ::TerminateProcess(processHandle.Get(), 1);
            return false;
        }
    }
    if (::WaitForSingleObject(processHandle.Get(), 30000) != WAIT_OBJECT_0) {
        ::TerminateProcess(processHandle.Get(), 1);
        return false;
    }
    return ::GetExitCodeProcess(processHandle.Get(), &exitCode) != FALSE;
}

std::wstring BinFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return FolderOfPath(path);
}

std::wstring SignedCopy(const std::wstring& name) { return BinFolder() + L"\\..\\signed\\env\\" + name; }

std::string Utf8(const std::wstring& text) {
    ByteBuffer bytes;
    WideToUtf8(text, bytes);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace tqn::testing
