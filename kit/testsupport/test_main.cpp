// Entry point of the Windows test suites. Output is unbuffered, so that what a
// test printed before a crash still reaches ctest, and an unhandled exception is
// named on stderr before the process ends with its code.
#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

namespace {

LONG WINAPI ReportUnhandledException(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers != nullptr ? pointers->ExceptionRecord : nullptr;
    std::fprintf(stderr, "unhandled exception 0x%08lX at %p\n",
                 record != nullptr ? static_cast<unsigned long>(record->ExceptionCode) : 0ul,
                 record != nullptr ? record->ExceptionAddress : nullptr);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(ReportUnhandledException);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
