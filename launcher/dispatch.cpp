#include "launcher/dispatch.h"

namespace tqn {

namespace {

constexpr long long kAccessDenied = 5;

bool EqualsIgnoringAsciiCase(const std::wstring& text, const wchar_t* expected) {
    size_t i = 0;
    for (; i < text.size() && expected[i] != L'\0'; ++i) {
        wchar_t a = text[i], b = expected[i];
        if (a >= L'A' && a <= L'Z') a = static_cast<wchar_t>(a + 32);
        if (b >= L'A' && b <= L'Z') b = static_cast<wchar_t>(b + 32);
        if (a != b) return false;
    }
    return i == text.size() && expected[i] == L'\0';
}

}  // namespace

Dispatch ChooseDispatch(const std::wstring& commandLine) {
    if (EqualsIgnoringAsciiCase(commandLine, L"/uninstall")) return {true, false, std::wstring(), false};
    if (commandLine.empty()) return {false, true, L"/launch", true};
    if (commandLine.find(L"/install") != std::wstring::npos) return {false, false, L"/launch", true};
    if (commandLine.find(L"/silent") != std::wstring::npos) return {false, true, std::wstring(), true};
    return {false, true, commandLine, false};
}

ElevationOutcome AfterRunas(long long shellResult, bool askAgain) {
    if (shellResult > 32) return ElevationOutcome::Stop;
    if (shellResult == kAccessDenied && askAgain) return ElevationOutcome::AskUser;
    return ElevationOutcome::EndNormally;
}

}  // namespace tqn
