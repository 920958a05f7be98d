#include "kit/testsupport/console_text.h"

#include "crypt/text_conversion.h"

namespace tqn::test {

void PrintLine(const std::wstring& line, DWORD stream) {
    ByteBuffer utf8;
    WideToUtf8(line + L"\n", utf8);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(stream), utf8.Data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

}  // namespace tqn::test
