// The skin string table under Wine with the kit's string module and skins:
// each case runs skin_probe with the system language set through LC_ALL.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "environment/tests/test_support.h"

using namespace tqn::testing;

namespace {

const char kPathToolData[] =
    "UTIL_FOLDER   = %PRODUCT_FOLDER%\n"
    "CONFIG_FOLDER = %PRODUCT_FOLDER%\\config\n"
    "STRING_MODULE = strings.tqm\n"
    "SKIN_FILE     = skin_ko.dat\n"
    "SKIN_FILE_JP  = skin_jp.dat\n"
    "SKIN_FILE_EN  = skin_en.dat\n";

std::wstring Signed(const std::wstring& relative) { return BinFolder() + L"\\..\\signed\\" + relative; }

// A product folder with the path tool, the string module (unless left out)
// and the chosen skins in its configuration folder.
class SkinProduct {
public:
    SkinProduct(const std::set<std::wstring>& skins, bool withStringModule = true) : folder_(L"tqn-skin") {
        const std::wstring& root = folder_.Path();
        ::CreateDirectoryW((root + L"\\config").c_str(), nullptr);
        EXPECT_TRUE(::CopyFileW(Signed(L"env\\brennick\\ptl.tqm").c_str(), (root + L"\\ptl.tqm").c_str(), FALSE));
        EXPECT_TRUE(WriteFileBytes(root + L"\\ptl.dat", kPathToolData));
        if (withStringModule) {
            EXPECT_TRUE(::CopyFileW(Signed(L"strings\\brennick\\strings.tqm").c_str(),
                                    (root + L"\\strings.tqm").c_str(), FALSE));
        }
        for (const std::wstring& skin : skins) {
            EXPECT_TRUE(::CopyFileW(Signed(L"skins\\" + skin).c_str(), (root + L"\\config\\" + skin).c_str(), FALSE));
        }
    }
    const std::wstring& Path() const { return folder_.Path(); }
    void WriteSkin(const std::wstring& name, const std::string& text) const {
        EXPECT_TRUE(WriteFileBytes(folder_.Path() + L"\\config\\" + name, text));
    }

private:
    ScratchFolder folder_;
};

// skin_probe's output; it runs in this process's system language.
std::string Probe(const SkinProduct& product, const std::wstring& ids) {
    std::string output;
    DWORD exitCode = 1;
    const bool ran = RunProgram(L"\"" + BinFolder() + L"\\skin_probe.exe\" \"" + product.Path() + L"\" " + ids, output,
                                exitCode);
    if (!ran || exitCode != 0) return "skin_probe failed: " + output;
    // Drop the product folder from the skin path, so rows can name the file.
    const std::string folder = Utf8(product.Path()) + "\\config\\";
    for (size_t at = output.find(folder); at != std::string::npos; at = output.find(folder)) {
        output.erase(at, folder.size());
    }
    return output;
}

const std::set<std::wstring> kAllSkins = {L"skin_ko.skn", L"skin_jp.skn", L"skin_en.skn"};

}  // namespace

// Runs the rows of the system language this process has (CTest runs it in
// English, Korean, Japanese and French).
TEST(SkinStringTable, SkinByLanguage) {
    const struct {
        const char* what;
        LANGID language;
        std::set<std::wstring> skins;
        const char* expected;
    } rows[] = {
        {"English", 0x0409, kAllSkins, "language=0409\nskin=skin_en.skn\nIDS_PRODUCT_NAME=1:Tarvolin\nloaded=1\n"},
        {"English without its skin: the default, unchecked", 0x0409, {L"skin_jp.skn"},
         "language=0409\nskin=skin_ko.skn\nIDS_PRODUCT_NAME=0:IDS_PRODUCT_NAME\nloaded=0\n"},
        {"Korean", 0x0412, kAllSkins,
         "language=0412\nskin=skin_ko.skn\nIDS_PRODUCT_NAME=1:\xED\x83\x80\xEB\xA5\xB4\xEB\xB3\xBC\xEB\xA6\xB0\nloaded=1\n"},
        {"Japanese", 0x0411, kAllSkins,
         "language=0411\nskin=skin_jp.skn\nIDS_PRODUCT_NAME=1:\xE3\x82\xBF\xE3\x83\xAB\xE3\x83\xB4\xE3\x82\xA9"
         "\xE3\x83\xAA\xE3\x83\xB3\nloaded=1\n"},
        {"French", 0x040C, kAllSkins, "language=040C\nskin=skin_en.skn\nIDS_PRODUCT_NAME=1:Tarvolin\nloaded=1\n"},
        {"Korean without its skin", 0x0412, {L"skin_en.skn", L"skin_jp.skn"},
         "language=0412\nskin=skin_en.skn\nIDS_PRODUCT_NAME=1:Tarvolin\nloaded=1\n"},
        {"French without English: the default, unchecked", 0x040C, {L"skin_ko.skn", L"skin_jp.skn"},
         "language=040C\nskin=skin_ko.skn\nIDS_PRODUCT_NAME=1:\xED\x83\x80\xEB\xA5\xB4\xEB\xB3\xBC\xEB\xA6\xB0\nloaded=1\n"},
    };
    const LANGID language = ::GetSystemDefaultLangID();
    int ran = 0;
    for (const auto& row : rows) {
        if (row.language != language) continue;
        SkinProduct product(row.skins);
        EXPECT_EQ(Probe(product, L"IDS_PRODUCT_NAME"), row.expected) << row.what;
        ++ran;
    }
    EXPECT_GT(ran, 0) << "no rows for the system language " << language;
}

TEST(SkinStringTable, IdentifiersAndEntries) {
    SkinProduct product({});
    product.WriteSkin(L"skin_en.skn",
                      "-IDS_A = withdrawn\n"
                      "IDS_A = active\n"
                      "IDS_B =\n"
                      "IDS_B = later\n"
                      "IDS_LINES = one\\ntwo\\rthree\n");
    // Only identifiers without IDS_: returned as they are, nothing loaded.
    EXPECT_EQ(Probe(product, L"HELLO ids_a"),
              "language=0409\nskin=skin_en.skn\nHELLO=0:HELLO\nids_a=0:ids_a\nloaded=0\n");
    EXPECT_EQ(Probe(product, L"IDS_A IDS_B IDS_LINES IDS_NONE"),
              "language=0409\nskin=skin_en.skn\n"
              "IDS_A=1:active\n"         // the withdrawn entry is skipped
              "IDS_B=0:IDS_B\n"          // a missing text decides, though a later one has text
              "IDS_LINES=1:one<LF>two<CR>three\n"
              "IDS_NONE=0:IDS_NONE\n"
              "loaded=1\n");
}

TEST(SkinStringTable, WithoutTheStringModuleTheIdentifiersShow) {
    SkinProduct product(kAllSkins, false);
    EXPECT_EQ(Probe(product, L"IDS_MSG_UAC_CHECK IDS_PRODUCT_NAME"),
              "language=0409\nskin=skin_en.skn\nIDS_MSG_UAC_CHECK=0:IDS_MSG_UAC_CHECK\n"
              "IDS_PRODUCT_NAME=0:IDS_PRODUCT_NAME\nloaded=0\n");
}
