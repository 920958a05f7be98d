// The script language: the forms it accepts, the message for each malformed
// line, and that a failed parse sets nothing.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "kit/script/script_language.h"

namespace scd {
namespace {

using Sets = std::vector<std::pair<std::wstring, std::wstring>>;
using Sections = std::vector<std::pair<std::wstring, Sets>>;

Sections Flatten(const Script& script) {
    Sections sections;
    for (const Section& section : script.sections) {
        Sets sets;
        for (const Setting& setting : section.settings) sets.emplace_back(setting.name, setting.value);
        sections.emplace_back(section.name, sets);
    }
    return sections;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

bool Parse(const std::string& text, Script& script, std::wstring& error) {
    return ParseScript(text, L"script.scd", script, error);
}

TEST(ScriptLanguage, AcceptedForms) {
    struct Case {
        std::string text;
        Sections expected;
    };
    const std::wstring smile = {wchar_t(0xD83D), wchar_t(0xDE00)};  // U+1F600 as a surrogate pair
    const std::vector<Case> cases = {
        // BOM, CRLF, comments, blank and indented lines, no line feed at the end.
        {"\xEF\xBB\xBF# c\r\n\r\n  [CommonData]  \r\n\tset EXT_NAME = \"exe\"\r\n  # c\r\nset N = 4",
         {{L"CommonData", {{L"EXT_NAME", L"exe"}, {L"N", L"4"}}}}},
        // Bare tokens, no blanks around '=', blanks inside the brackets, names starting with '_'.
        {"[ S_1 ]\nset _a=word\nset b =1.5-rc_2\n", {{L"S_1", {{L"_a", L"word"}, {L"b", L"1.5-rc_2"}}}}},
        // Escapes; '#' and '=' inside quotes are text.
        {"[S]\nset A = \"q\\\" b\\\\ n\\n t\\t r\\r # = x\"\n", {{L"S", {{L"A", L"q\" b\\ n\n t\t r\r # = x"}}}}},
        // \u{...} and raw UTF-8 both give UTF-16 units.
        {"[S]\nset A = \"\\u{E9}\\u{1F600}\"\nset B = \"\xC3\xA9\xF0\x9F\x98\x80\"\n",
         {{L"S", {{L"A", L"\u00E9" + smile}, {L"B", L"\u00E9" + smile}}}}},
        // An empty value; a name set again in another case is kept, in order.
        {"[S]\nset A = \"\"\nset a = 1\nset A = 2\n", {{L"S", {{L"A", L""}, {L"a", L"1"}, {L"A", L"2"}}}}},
        // An empty section, then another; an empty script.
        {"[Empty]\n[Next]\nset X = y\n", {{L"Empty", {}}, {L"Next", {{L"X", L"y"}}}}},
        {"", {}},
        // The longest name and value.
        {"[S]\nset " + std::string(64, 'N') + " = \"" + std::string(511, 'v') + "\"\n",
         {{L"S", {{std::wstring(64, L'N'), std::wstring(511, L'v')}}}}},
    };
    for (const Case& c : cases) {
        Script script;
        std::wstring error;
        EXPECT_TRUE(Parse(c.text, script, error)) << c.text.substr(0, 80) << " -> " << Narrow(error);
        EXPECT_EQ(Flatten(script), c.expected) << c.text.substr(0, 80);
    }
}

TEST(ScriptLanguage, MalformedLinesAreNamedAndSetNothing) {
    struct Case {
        std::string text;
        const wchar_t* error;
    };
    const std::vector<Case> cases = {
        {"[S]\nset A = 1\nA = 2\n", L"script.scd line 3: expected set NAME = value"},
        {"[S]\nSET A = 1\n", L"script.scd line 2: expected set NAME = value"},
        {"[S]\nsetA = 1\n", L"script.scd line 2: expected set NAME = value"},
        {"[S]\nset A 1\n", L"script.scd line 2: expected set NAME = value"},
        {"[S]\nset = 1\n", L"script.scd line 2: expected set NAME = value"},
        {"[S]\nset 9A = 1\n",
         L"script.scd line 2: a name is letters, digits and '_', not starting with a digit (got '9A')"},
        {"[S]\nset EXT-NAME = 1\n",
         L"script.scd line 2: a name is letters, digits and '_', not starting with a digit (got 'EXT-NAME')"},
        {"[S]\nset " + std::string(65, 'N') + " = 1\n", L"script.scd line 2: a name has at most 64 characters"},
        {"[S]\nset A =  \r\n", L"script.scd line 2: no value for A (write \"\" for an empty one)"},
        {"[S]\nset A = \"open\n", L"script.scd line 2: the value has no closing '\"'"},
        {"[S]\nset A = \"ends in \\\n", L"script.scd line 2: the value has no closing '\"'"},
        {"[S]\nset A = \"\\q\"\n", L"script.scd line 2: unknown escape \\q (write \\\" \\\\ \\n \\r \\t or \\u{hex})"},
        {"[S]\nset A = \"\\u00E9\"\n", L"script.scd line 2: \\u needs 1 to 6 hex digits in braces, as in \\u{E9}"},
        {"[S]\nset A = \"\\u{}\"\n", L"script.scd line 2: \\u needs 1 to 6 hex digits in braces, as in \\u{E9}"},
        {"[S]\nset A = \"\\u{1234567}\"\n", L"script.scd line 2: \\u needs 1 to 6 hex digits in braces, as in \\u{E9}"},
        {"[S]\nset A = \"\\u{E9\"\n", L"script.scd line 2: \\u needs 1 to 6 hex digits in braces, as in \\u{E9}"},
        {"[S]\nset A = \"\\u{0}\"\n", L"script.scd line 2: \\u{0} is not a character a value can hold"},
        {"[S]\nset A = \"\\u{D800}\"\n", L"script.scd line 2: \\u{D800} is not a character a value can hold"},
        {"[S]\nset A = \"\\u{110000}\"\n", L"script.scd line 2: \\u{110000} is not a character a value can hold"},
        {"[S]\nset A = C:\\x\n",
         L"script.scd line 2: a bare value is letters, digits, '_', '.' and '-' (put other text in double quotes)"},
        {"[S]\nset A = two words\n", L"script.scd line 2: unexpected text after the value of A: 'words'"},
        {"[S]\nset A = \"x\" # note\n", L"script.scd line 2: unexpected text after the value of A: '# note'"},
        {"[S]\nset A = \"" + std::string(512, 'v') + "\"\n",
         L"script.scd line 2: the value of A is longer than 511 characters"},
        {"# c\nset A = 1\n", L"script.scd line 2: set outside a section (start one with a [SectionName] line)"},
        {"[S\n", L"script.scd line 1: expected [SectionName]"},
        {"[S] x\n", L"script.scd line 1: expected [SectionName]"},
        {"[]\n", L"script.scd line 1: a name is letters, digits and '_', not starting with a digit (got '')"},
        {"[S]\n[T]\n[s]\n", L"script.scd line 3: section s is already opened on line 1"},
        {"[S]\nset A = \"\xC3\x28\"\n", L"script.scd line 2: the line is not valid UTF-8"},
        {"[S]\nset A = \"\xED\xA0\x80\"\n", L"script.scd line 2: the line is not valid UTF-8"},  // a surrogate
        {"[S]\nset A = \"\xC0\xAF\"\n", L"script.scd line 2: the line is not valid UTF-8"},      // overlong
        {[] {
             const char text[] = "[S]\nset A = \"a\0b\"\n";
             return std::string(text, sizeof(text) - 1);
         }(),
         L"script.scd line 2: control character U+0000 in the line (write it as an escape in a quoted value)"},
        {"[S]\nset A = \"a\rb\"\n",
         L"script.scd line 2: control character U+000D in the line (write it as an escape in a quoted value)"},
        {std::string(kLargestScript + 1, '#'), L"script.scd is larger than 1 MiB"},
    };
    for (const Case& c : cases) {
        Script script;
        script.sections.push_back({L"Kept", 1, {{L"K", L"v", 2}}});
        std::wstring error;
        EXPECT_FALSE(Parse(c.text, script, error)) << c.text.substr(0, 80);
        EXPECT_EQ(error, c.error) << c.text.substr(0, 80);
        // A failed parse leaves the caller's script as it was.
        EXPECT_EQ(Flatten(script), (Sections{{L"Kept", {{L"K", L"v"}}}})) << c.text.substr(0, 80);
    }
}

TEST(ScriptLanguage, LinesAndSectionLookup) {
    Script script;
    std::wstring error;
    ASSERT_TRUE(Parse("# c\n[CommonData]\n\nset A = 1\n[Environment]\n", script, error));
    ASSERT_EQ(script.sections.size(), 2u);
    EXPECT_EQ(script.sections[0].line, 2u);
    EXPECT_EQ(script.sections[0].settings.at(0).line, 4u);
    EXPECT_EQ(FindSection(script, L"COMMONDATA"), &script.sections[0]);  // letter case ignored
    EXPECT_EQ(FindSection(script, L"environment"), &script.sections[1]);
    EXPECT_EQ(FindSection(script, L"CommonDat"), nullptr);
}

TEST(ScriptLanguage, LargestScriptOfSectionsParsesInTime) {
    // Found with the fuzz target: each header searched every earlier section,
    // so a script of many sections took hours (the suite's time-out fails it
    // then). The corpus keeps a short one (many_sections.scd).
    const std::string repeat = "[s0]\n";
    std::string text;
    size_t count = 0;
    for (std::string line = "[S0]\n"; text.size() + line.size() + repeat.size() <= kLargestScript;
         line = "[S" + std::to_string(++count) + "]\n") {
        text += line;
    }
    Script script;
    std::wstring error;
    ASSERT_TRUE(Parse(text, script, error)) << Narrow(error);
    ASSERT_EQ(script.sections.size(), count);
    const std::wstring last = L"s" + std::to_wstring(count - 1);
    EXPECT_EQ(FindSection(script, last), &script.sections.back());
    // A repeat is still found, with the line of the first.
    EXPECT_FALSE(Parse(text + repeat, script, error));
    EXPECT_EQ(error, L"script.scd line " + std::to_wstring(count + 1) + L": section s0 is already opened on line 1");
}

#ifdef TQN_SCRIPT_SAMPLE
TEST(ScriptLanguage, ExampleScriptHoldsWhatTheLauncherAsksFor) {
    std::ifstream file(TQN_SCRIPT_SAMPLE, std::ios::binary);
    ASSERT_TRUE(file.good());
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Script script;
    std::wstring error;
    ASSERT_TRUE(Parse(text, script, error)) << Narrow(error);
    const Sections expected = {
        {L"CommonData",
         {{L"EXT_NAME", L"exe"}, {L"TRAY_FILE", L"tray_probe.exe"}, {L"UNINSTALL_FILE", L"uninstall_probe.exe"}}},
        {L"Environment", {{L"EXCEPTION_REPORT_METHOD", L"4"}}},
    };
    EXPECT_EQ(Flatten(script), expected);
}
#endif

}  // namespace
}  // namespace scd
