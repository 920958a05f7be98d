// The skin file: the forms it accepts, the message for each malformed line,
// that a failed parse hands back nothing, and the skins the product ships.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "kit/strings/skin_file.h"

namespace skn {
namespace {

// id, text, withdrawn, line
using Row = std::tuple<std::wstring, std::wstring, bool, size_t>;

std::vector<Row> Rows(const Skin& skin) {
    std::vector<Row> rows;
    for (const SkinText& t : skin.texts) rows.emplace_back(t.id, t.text, t.withdrawn, t.line);
    return rows;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

bool Parse(const std::string& text, Skin& skin, std::wstring& error) {
    return ParseSkin(text, L"skin_en.skn", skin, error);
}

TEST(SkinFile, AcceptedForms) {
    struct Case {
        std::string text;
        std::vector<Row> expected;
    };
    const std::wstring smile = {wchar_t(0xD83D), wchar_t(0xDE00)};  // U+1F600 as two units
    const std::vector<Case> cases = {
        // BOM, CRLF, comments, blank and indented lines, no line feed at the end.
        {"\xEF\xBB\xBF# c\r\n\r\n  IDS_A = one  \r\n\t# c\r\nIDS_B=two",
         {{L"IDS_A", L"one", false, 3}, {L"IDS_B", L"two", false, 5}}},
        // Text as written: escapes stay two characters, '=' and '#' are text, inner tabs kept.
        {"IDS_A = a\\nb\\r\\\\ = # c\td\n", {{L"IDS_A", L"a\\nb\\r\\\\ = # c\td", false, 1}}},
        // Missing texts, withdrawn entries (with or without a text), any letter case after IDS_.
        {"IDS_A =\nIDS_B =  \t\n-IDS_C = old\n -  IDS_D =\nIDS_lower_9 = x\n",
         {{L"IDS_A", L"", false, 1},
          {L"IDS_B", L"", false, 2},
          {L"IDS_C", L"old", true, 3},
          {L"IDS_D", L"", true, 4},
          {L"IDS_lower_9", L"x", false, 5}}},
        // Repeats are all kept, in file order.
        {"IDS_A = 1\n-IDS_A = 2\nIDS_A = 3\n",
         {{L"IDS_A", L"1", false, 1}, {L"IDS_A", L"2", true, 2}, {L"IDS_A", L"3", false, 3}}},
        // Korean, Japanese and a character beyond the BMP become UTF-16 units.
        {"IDS_KO = \xED\x83\x80\xEB\xA5\xB4\nIDS_JA = \xE3\x82\xBF\xE3\x83\xAB\nIDS_X = \xF0\x9F\x98\x80\n",
         {{L"IDS_KO", L"\uD0C0\uB974", false, 1},
          {L"IDS_JA", L"\u30BF\u30EB", false, 2},
          {L"IDS_X", smile, false, 3}}},
    };
    for (const Case& c : cases) {
        Skin skin;
        std::wstring error;
        EXPECT_TRUE(Parse(c.text, skin, error)) << c.text << " -> " << Narrow(error);
        EXPECT_EQ(Rows(skin), c.expected) << c.text;
    }
}

TEST(SkinFile, MalformedFilesAreNamedAndHandBackNothing) {
    struct Case {
        std::string text;
        std::wstring error;
    };
    const std::wstring badId =
        L"skin_en.skn line 2: an identifier is IDS_ followed by ASCII letters, digits and '_' (got '";
    const std::wstring control = L" in the line (write line breaks as \\n)";
    const std::vector<Case> cases = {
        {"IDS_A = 1\r\nIDS_B one\r\n", L"skin_en.skn line 2: expected IDS_NAME = text"},
        {"IDS_A = 1\n-IDS_B\n", L"skin_en.skn line 2: expected IDS_NAME = text"},
        {"IDS_A = 1\nids_b = x\n", badId + L"ids_b')"},
        {"IDS_A = 1\nIDS_ = x\n", badId + L"IDS_')"},
        {"IDS_A = 1\n = x\n", badId + L"')"},
        {"IDS_A = 1\n--IDS_B = x\n", badId + L"-IDS_B')"},
        {"IDS_A = 1\nIDS_B-C = x\n", badId + L"IDS_B-C')"},
        {"IDS_A = 1\nIDS_\xC3\xA9 = x\n", badId + L"IDS_\u00E9')"},
        {"IDS_A = 1\nIDS_B = a\x01" "b\n", L"skin_en.skn line 2: control character U+0001" + control},
        {"IDS_A = 1\nIDS_B = a\rb\r\n", L"skin_en.skn line 2: control character U+000D" + control},
        {std::string("IDS_A = 1\nIDS_B = a") + '\0' + "b\n", L"skin_en.skn line 2: control character U+0000" + control},
        {"IDS_A = 1\nIDS_B = a\x7F\n", L"skin_en.skn line 2: control character U+007F" + control},
        {"IDS_A = 1\nIDS_B = \xC3\x28\n", L"skin_en.skn line 2: the line is not valid UTF-8"},
        {"IDS_A = 1\nIDS_B = \xED\xA0\x80\n", L"skin_en.skn line 2: the line is not valid UTF-8"},  // a surrogate
        {"IDS_A = 1\n# \xC0\xAF\n", L"skin_en.skn line 2: the line is not valid UTF-8"},  // overlong, in a comment
        {"", L"skin_en.skn holds no texts"},
        {"\xEF\xBB\xBF# only comments\r\n\r\n", L"skin_en.skn holds no texts"},
        {"IDS_A = " + std::string(kLargestSkin - 8 + 1, 'x'), L"skin_en.skn is larger than 1 MiB (1048577 bytes)"},
    };
    for (const Case& c : cases) {
        Skin skin;
        skin.texts.push_back({L"IDS_KEPT", L"v", false, 9});
        std::wstring error;
        EXPECT_FALSE(Parse(c.text, skin, error)) << c.text.substr(0, 60);
        EXPECT_EQ(error, c.error) << c.text.substr(0, 60);
        EXPECT_EQ(Rows(skin), (std::vector<Row>{{L"IDS_KEPT", L"v", false, 9}})) << c.text.substr(0, 60);
    }
    // The largest file still parses.
    Skin skin;
    std::wstring error;
    EXPECT_TRUE(Parse("IDS_A = " + std::string(kLargestSkin - 8, 'x'), skin, error)) << Narrow(error);
}

#ifdef TQN_SKIN_FOLDER
TEST(SkinFile, ShippedSkinsHoldTheLaunchersTexts) {
    const struct {
        const char* file;
        std::wstring productName;
    } skins[] = {
        {"skin_ko.skn", L"\uD0C0\uB974\uBCFC\uB9B0"},        // 타르볼린
        {"skin_jp.skn", L"\u30BF\u30EB\u30F4\u30A9\u30EA\u30F3"},  // タルヴォリン
        {"skin_en.skn", L"Tarvolin"},
    };
    std::vector<std::wstring> firstIds;
    for (const auto& s : skins) {
        SCOPED_TRACE(s.file);
        std::ifstream file(std::string(TQN_SKIN_FOLDER) + "/" + s.file, std::ios::binary);
        ASSERT_TRUE(file.good());
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        Skin skin;
        std::wstring error;
        ASSERT_TRUE(ParseSkin(bytes, L"skin", skin, error)) << Narrow(error);
        std::vector<std::wstring> ids;
        std::wstring product, uac;
        for (const SkinText& t : skin.texts) {
            EXPECT_FALSE(t.withdrawn || t.text.empty()) << Narrow(t.id);  // shipped skins are complete
            ids.push_back(t.id);
            if (t.id == L"IDS_PRODUCT_NAME") product = t.text;
            if (t.id == L"IDS_MSG_UAC_CHECK") uac = t.text;
        }
        EXPECT_EQ(product, s.productName);
        EXPECT_NE(uac.find(L"\\n"), std::wstring::npos);  // a line break for the launcher to make
        // Every language has the same texts, in the same order.
        if (firstIds.empty()) firstIds = ids;
        EXPECT_EQ(ids, firstIds);
    }
}
#endif

}  // namespace
}  // namespace skn
