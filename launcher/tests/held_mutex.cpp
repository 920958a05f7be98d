#include "launcher/tests/held_mutex.h"

#include <gtest/gtest.h>

#include "environment/tests/test_support.h"

namespace tqn::testing {

HeldMutex::HeldMutex(const std::wstring& objectName, const wchar_t* option) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE r = nullptr, w = nullptr;
    ::CreatePipe(&r, &w, &inheritable, 0);
    ScopedHandle outRead(r), outWrite(w);
    ::CreatePipe(&r, &w, &inheritable, 0);
    ScopedHandle inRead(r);
    input_.Reset(w);
    ::SetHandleInformation(outRead.Get(), HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(input_.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead.Get();
    startup.hStdOutput = outWrite.Get();
    startup.hStdError = outWrite.Get();
    std::wstring line = L"\"" + BinFolder() + L"\\mutex_holder.exe\" \"" + objectName + L"\" " + option;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &process)) {
        ADD_FAILURE() << "CreateProcessW " << ::GetLastError();
        return;
    }
    process_.Reset(process.hProcess);
    ScopedHandle thread(process.hThread);
    outWrite.Reset();
    char buffer[64] = {};
    DWORD read = 0;
    ::ReadFile(outRead.Get(), buffer, sizeof buffer - 1, &read, nullptr);
    EXPECT_EQ(std::string(buffer, read).substr(0, 5), "ready") << buffer;
}

HeldMutex::~HeldMutex() {
    input_.Reset();
    if (process_) {
        EXPECT_EQ(::WaitForSingleObject(process_.Get(), 10000), WAIT_OBJECT_0);
    }
}

}  // namespace tqn::testing
