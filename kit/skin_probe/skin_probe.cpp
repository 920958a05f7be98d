// Looks texts up as the elevation prompt does, with the path tool started
// from a given folder.
//
//   skin_probe <path tool folder> <identifier>...
//     prints "language=<hex>", "skin=<chosen skin path>", then per identifier
//     "<identifier>=1:<text>" or "<identifier>=0:<text>" (a line feed shown
//     as <LF>, a carriage return as <CR>),
//     and "loaded=<0|1>": whether the table was initialised.
// Output is UTF-8; exit code 0, or 2 for bad usage.
#include <windows.h>

#include <cstdio>
#include <string>

#include "environment/path_tool.h"
#include "kit/testsupport/console_text.h"
#include "strings/skin_string_table.h"

namespace {

std::wstring Visible(const std::wstring& text) {
    std::wstring shown;
    for (const wchar_t c : text) {
        if (c == L'\n') {
            shown += L"<LF>";
        } else if (c == L'\r') {
            shown += L"<CR>";
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    tqn::InitializePathTool(0, argv[1]);
    wchar_t language[16] = {};
    std::swprintf(language, 16, L"%04X", ::GetSystemDefaultLangID());
    tqn::test::PrintLine(std::wstring(L"language=") + language);
    std::wstring skin;
    tqn::ChooseSkinFile(skin);
    tqn::test::PrintLine(L"skin=" + skin);

    tqn::SkinStringTable table;
    for (int i = 2; i < argc; ++i) {
        std::wstring text;
        const bool found = table.GetString(argv[i], text);
        tqn::test::PrintLine(std::wstring(argv[i]) + (found ? L"=1:" : L"=0:") + Visible(text));
    }
    tqn::test::PrintLine(std::wstring(L"loaded=") + (table.Initialized() ? L"1" : L"0"));
    tqn::ReleasePathTool();
    return 0;
}
