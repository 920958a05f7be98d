// The path tool's data file: parsing, references between variables, and the
// messages for malformed lines.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "kit/ptl/ptl_data.h"
#include "kit/ptl/tests/sample_environment.h"

namespace ptl {
namespace {

const EnvironmentLookup kEnvironment = test::SampleEnvironment;

bool Load(PathTable& table, const std::string& text, std::wstring& error) {
    return table.Load(text, L"ptl.dat", L"C:\\Product", kEnvironment, error);
}

TEST(PtlData, ParsesValuesCommentsAndReferences) {
    const std::string text =
        "\xEF\xBB\xBF# the product's folders\r\n"
        "COMMON_APPDATA = %ENV:ProgramData%\\Tarvolin\r\n"
        "\n"
        "   LOG_FOLDER=Logs  \n"
        "UTIL_FOLDER = %PRODUCT_FOLDER%\\util\n"
        "CONFIG_MODULE = %UTIL_FOLDER%\\config.tqm\n"   // refers to a variable set before it
        "SKIN_FILE = %SKIN_FOLDER%\\skin.dat\n"       // refers to one set after it
        "SKIN_FOLDER = %PRODUCT_FOLDER%\\skins\n"
        "PERCENT = 100%% sure\n"
        "UNICODE = C:\\Caf\xC3\xA9\n"
        "EQUALS = a=b";  // no line feed at the end
    PathTable table;
    std::wstring error;
    ASSERT_TRUE(Load(table, text, error)) << std::string(error.begin(), error.end());
    const std::map<std::wstring, std::wstring> expected = {
        {L"COMMON_APPDATA", L"C:\\ProgramData\\Tarvolin"},
        {L"LOG_FOLDER", L"Logs"},
        {L"UTIL_FOLDER", L"C:\\Product\\util"},
        {L"CONFIG_MODULE", L"C:\\Product\\util\\config.tqm"},
        {L"SKIN_FILE", L"C:\\Product\\skins\\skin.dat"},
        {L"SKIN_FOLDER", L"C:\\Product\\skins"},
        {L"PERCENT", L"100% sure"},
        {L"UNICODE", std::wstring(L"C:\\Caf") + wchar_t(0xE9)},
        {L"EQUALS", L"a=b"},
        {L"PRODUCT_FOLDER", L"C:\\Product"},
    };
    EXPECT_EQ(table.Values(), expected);
    std::wstring value;
    EXPECT_TRUE(table.Find(L"LOG_FOLDER", value));
    EXPECT_EQ(value, L"Logs");
    EXPECT_FALSE(table.Find(L"log_folder", value));  // names match exactly
    EXPECT_EQ(value, L"Logs");
}

TEST(PtlData, MalformedLinesAreNamed) {
    struct Case {
        const char* text;
        const wchar_t* error;
    };
    const std::vector<Case> cases = {
        // A line that is neither a comment nor an assignment.
        {"A = 1\njust words\n", L"ptl.dat line 2: expected NAME = value"},
        // Lower-case or other characters in a name.
        {"log_folder = x\n", L"ptl.dat line 1: a name is upper-case letters, digits and '_' (got 'log_folder')"},
        {" = x\n", L"ptl.dat line 1: a name is upper-case letters, digits and '_' (got '')"},
        // A value is required.
        {"A =   \n", L"ptl.dat line 1: no value for A"},
        // Each name is set once.
        {"A = 1\n# c\nA = 2\n", L"ptl.dat line 3: A is already set on line 1"},
        // The built-in variable cannot be overridden.
        {"PRODUCT_FOLDER = C:\\x\n", L"ptl.dat line 1: PRODUCT_FOLDER is built in and cannot be set"},
        // A percent sign without its pair.
        {"A = 50%\n", L"ptl.dat line 1: '%' without a closing '%' (write %% for a percent sign)"},
        // A reference to a variable nobody sets.
        {"A = 1\nB = %NOPE%\\x\n", L"ptl.dat line 2: unknown variable %NOPE%"},
        // Environment variables that are missing or empty.
        {"A = %ENV:NOT_SET%\n", L"ptl.dat line 1: environment variable NOT_SET is not set"},
        {"A = %ENV:EMPTY%\n", L"ptl.dat line 1: environment variable EMPTY is not set"},
        // Variables that refer back to themselves.
        {"A = %A%\n", L"ptl.dat line 1: A refers back to itself (A -> A)"},
        {"A = %B%\nB = %C%\nC = %A%\n", L"ptl.dat line 1: A refers back to itself (A -> B -> C -> A)"},
        // Bytes that are not UTF-8.
        {"A = \xC3\x28\n", L"ptl.dat line 1: the value is not valid UTF-8"},
        {"A = \xED\xA0\x80\n", L"ptl.dat line 1: the value is not valid UTF-8"},  // encoded surrogate
        {"A = \xC0\xAF\n", L"ptl.dat line 1: the value is not valid UTF-8"},      // overlong
    };
    for (const Case& c : cases) {
        PathTable table;
        std::wstring error;
        EXPECT_FALSE(Load(table, c.text, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_TRUE(table.Values().empty()) << c.text;
    }
}

TEST(PtlData, FailedLoadKeepsThePreviousTable) {
    PathTable table;
    std::wstring error;
    ASSERT_TRUE(Load(table, "A = 1\n", error));
    EXPECT_FALSE(Load(table, "B = %MISSING%\n", error));
    std::wstring value;
    EXPECT_TRUE(table.Find(L"A", value));
    EXPECT_EQ(value, L"1");
    EXPECT_FALSE(table.Find(L"B", value));
}

// V0 = %V1%, V1 = %V2%, ... : references references deep, the last value plain.
std::string Chain(int references) {
    std::string text;
    for (int i = 0; i < references; ++i) text += "V" + std::to_string(i) + "=%V" + std::to_string(i + 1) + "%\n";
    return text + "V" + std::to_string(references) + "=x\n";
}

// D0 is 16 characters and each later line doubles the one before.
std::string Doubling(int lines) {
    std::string text = "D0=xxxxxxxxxxxxxxxx\n";
    for (int k = 1; k < lines; ++k) {
        const std::string before = "%D" + std::to_string(k - 1) + "%";
        text += "D" + std::to_string(k) + "=" + before + before + "\n";
    }
    return text;
}

TEST(PtlData, ChainsAndGrowthOfReferencesAreBounded) {
    struct Case {
        const char* what;
        std::string text;
        const wchar_t* error;  // null: the file loads
    };
    const wchar_t* tooDeep = L"ptl.dat line 34: references nest more than 32 deep (V0 -> ... -> V33)";
    const wchar_t* tooLarge = L"ptl.dat line 17: the values grow past 1048576 characters";
    const std::vector<Case> cases = {
        {"as deep as allowed", Chain(32), nullptr},
        {"one reference deeper", Chain(33), tooDeep},
        // Found with the fuzz target: 700 references overflowed a 1 MiB stack (corpus deep_chain.dat).
        {"stack-deep chain", Chain(700), tooDeep},
        // 16 * (2^16 - 1) characters together: just within the limit.
        {"as large as allowed", Doubling(16), nullptr},
        {"one line more", Doubling(17), tooLarge},
        // Found with the fuzz target: 28 doubling lines asked for 2^31 characters (corpus doubling.dat).
        {"memory-exhausting growth", Doubling(28), tooLarge},
    };
    for (const Case& c : cases) {
        PathTable table;
        std::wstring error;
        EXPECT_EQ(Load(table, c.text, error), c.error == nullptr) << c.what;
        if (c.error != nullptr) {
            EXPECT_EQ(error, c.error) << c.what;
        }
    }
}

TEST(PtlData, EmptyFileDefinesOnlyTheProductFolder) {
    PathTable table;
    std::wstring error;
    ASSERT_TRUE(Load(table, "", error));
    EXPECT_EQ(table.Values(), (std::map<std::wstring, std::wstring>{{L"PRODUCT_FOLDER", L"C:\\Product"}}));
}

#ifdef TQN_PTL_SAMPLE
TEST(PtlData, SampleFileDefinesEveryVariableTheLauncherAsksFor) {
    std::ifstream file(TQN_PTL_SAMPLE, std::ios::binary);
    ASSERT_TRUE(file.good());
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    PathTable table;
    std::wstring error;
    ASSERT_TRUE(Load(table, text, error)) << std::string(error.begin(), error.end());
    for (const wchar_t* name : {L"UTIL_FOLDER", L"CONFIG_FOLDER", L"COMMON_APPDATA", L"LOG_FOLDER",
                                L"APPCONFIG_FOLDER", L"CONFIG_MODULE", L"STRING_MODULE", L"SKIN_FILE",
                                L"SKIN_FILE_JP", L"SKIN_FILE_EN", L"TRACE_FILE_NAME"}) {
        std::wstring value;
        EXPECT_TRUE(table.Find(name, value)) << std::wstring(name).size();
        EXPECT_FALSE(value.empty());
    }
    std::wstring value;
    ASSERT_TRUE(table.Find(L"COMMON_APPDATA", value));
    EXPECT_EQ(value, L"C:\\ProgramData\\Tarvolin");
}
#endif

TEST(PtlPaths, JoinKeepsOneBackslashAndAbsoluteLeaves) {
    const std::vector<std::vector<std::wstring>> cases = {
        {L"C:\\a", L"b", L"C:\\a\\b"},
        {L"C:\\a\\", L"\\b", L"C:\\a\\b"},          // one backslash between
        {L"C:\\", L"b.dat", L"C:\\b.dat"},
        {L"C:\\a", L"D:\\b", L"D:\\b"},            // an absolute leaf stands alone
        {L"C:\\a", L"\\\\server\\share", L"\\\\server\\share"},
        {L"", L"b", L"b"},
        {L"C:\\a", L"", L"C:\\a"},
    };
    for (const auto& c : cases) EXPECT_EQ(JoinPath(c[0], c[1]), c[2]) << c[0].size() << c[1].size();
    EXPECT_EQ(FileNameOf(L"C:\\logs\\trace.log"), L"trace.log");
    EXPECT_EQ(FileNameOf(L"trace.log"), L"trace.log");
    EXPECT_TRUE(IsAbsolutePath(L"C:\\x"));
    EXPECT_FALSE(IsAbsolutePath(L"x\\y"));
}

TEST(PtlPaths, CopyOutFitsOrEmpties) {
    wchar_t out[4] = {L'z', L'z', L'z', L'z'};
    EXPECT_TRUE(CopyOut(L"abc", out, 4));  // three characters and the terminator
    EXPECT_EQ(std::wstring(out), L"abc");
    EXPECT_FALSE(CopyOut(L"abcd", out, 4));
    EXPECT_EQ(out[0], L'\0');
    EXPECT_FALSE(CopyOut(L"a", out, 0));
    EXPECT_FALSE(CopyOut(L"a", nullptr, 4));
}

}  // namespace
}  // namespace ptl
