// The report's text and JSON over the same facts, natively.
#include <gtest/gtest.h>

#include "crypt/utf8_codec.h"
#include "launcher/report/report_format.h"
#include "launcher/report/tests/json_reader.h"
#include "launcher/report/tests/sample_facts.h"

using namespace tqn::report;
using tqn::test::JsonValue;
using tqn::test::ParseJson;

namespace {

std::string Utf8(const std::wstring& text) { return tqn::EncodeUtf8(text.data(), text.size()); }

JsonValue Parsed(const ReportFacts& facts) {
    const std::optional<JsonValue> json = ParseJson(Utf8(FormatJson(facts)));
    EXPECT_TRUE(json.has_value()) << Utf8(FormatJson(facts));
    return json.value_or(JsonValue{});
}

}  // namespace

TEST(ReportFormat, JsonStringEscapes) {
    const struct {
        const wchar_t* text;
        const wchar_t* literal;
    } rows[] = {
        {L"C:\\P", L"\"C:\\\\P\""},
        {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
        {L"a\nb\tc\r", L"\"a\\nb\\tc\\r\""},
        {L"\x01\x1f", L"\"\\u0001\\u001f\""},
        {L"\u00e9\u4e2d", L"\"\u00e9\u4e2d\""},  // kept as they are (the output is UTF-8)
    };
    for (const auto& row : rows) EXPECT_EQ(JsonString(row.text), row.literal);
    // And back through a reader: the same text.
    const std::wstring odd = L"q\"\\\n\x02\u00e9";
    const auto back = ParseJson(Utf8(JsonString(odd)));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->text, Utf8(odd));
}

// One object; the field names the README documents, each where it belongs.
TEST(ReportFormat, JsonFieldsOfAHealthyProduct) {
    const JsonValue json = Parsed(SampleFacts());
    std::vector<std::string> names;
    for (const auto& [name, value] : json.members) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"account", "association", "dispatch", "exitCode", "modules",
                                               "productFolder", "productRoot", "settings", "trace",
                                               "uninstallGuard", "usualRoadStartsTray", "windows"}));
    EXPECT_EQ(json["windows"]["version"].text, "10.0.18362");
    EXPECT_TRUE(json["windows"]["flags"]["windows10"].boolean);
    EXPECT_FALSE(json["windows"]["flags"]["windows7"].boolean);
    EXPECT_EQ(json["windows"]["flags"].members.size(), 9u);
    EXPECT_NE(FormatText(SampleFacts()).find(L"\n  flags: NT, 2000 or later, Vista or later, Windows 10\n"),
              std::wstring::npos);
    EXPECT_EQ(json["account"]["integrity"].text, "high");
    EXPECT_EQ(json["productFolder"]["origin"].text, "programFolder");
    EXPECT_EQ(json["modules"].items.size(), 4u);
    EXPECT_EQ(json["modules"][1]["role"].text, "configuration");
    EXPECT_EQ(json["modules"][1]["signature"]["code"].text, "0x00000000");
    EXPECT_EQ(json["modules"][1]["signer"].text, "Brennick Corp.");
    EXPECT_FALSE(json["modules"][3]["testsApplied"].boolean);
    EXPECT_EQ(json["productRoot"]["reason"].text, "sameFolder");
    EXPECT_EQ(json["settings"]["scriptMode"].text, "sharedBlock");
    EXPECT_EQ(json["settings"]["EXCEPTION_REPORT_METHOD"].number, 4);
    EXPECT_EQ(json["association"]["conditions"].items.size(), 4u);
    EXPECT_EQ(json["association"]["conditions"][2]["value"].text, "Content Type");
    EXPECT_TRUE(json["association"]["conditions"][0]["expected"].IsNull());
    EXPECT_TRUE(json["uninstallGuard"]["mutexName"].IsNull());
    ASSERT_EQ(json["dispatch"].items.size(), 5u);
    EXPECT_EQ(json["dispatch"][0]["commandLine"].text, "");
    EXPECT_EQ(json["dispatch"][0]["action"].text, "startTray");
    EXPECT_EQ(json["dispatch"][0]["launchPath"].text, "plain");
    EXPECT_EQ(json["dispatch"][0]["startedAs"].text, "\"C:\\P\\tray.exe\" /launch");
    EXPECT_EQ(json["dispatch"][3]["action"].text, "startUninstaller");
    EXPECT_TRUE(json["dispatch"][3]["arguments"].IsNull());
    EXPECT_EQ(json["trace"]["dumpFile"].text, "C:\\Data\\Logs\\Launch.exe.dmp");
    EXPECT_TRUE(json["usualRoadStartsTray"].boolean);
    EXPECT_EQ(json["exitCode"].number, 0);
}

// Text and JSON say the same thing about a product that went wrong.
TEST(ReportFormat, BothOutputsNameWhatFails) {
    ReportFacts facts = SampleFacts();
    facts.modules[1].signer = L"Orrin Tools Ltd.";
    facts.productRoot.confirmed = false;
    facts.productRoot.productPath = L"C:\\Elsewhere";
    facts.association.intact = false;
    facts.association.conditions[1].holds = false;
    facts.association.conditions[1].found = L"txtfile";
    facts.association.overrides.userChoice = L"txtfile";
    facts.association.overrides.openWithList = {{L"a", L"notepad.exe"}};
    facts.uninstall = {L"tqn-un", L"Local\\tqn-un", true};

    const std::wstring text = FormatText(facts);
    for (const wchar_t* line : {
             L"    Launch.exe would load it: no: the signer is neither \"Brennick Corp.\" nor \"Halvreth Corp.\"\n",
             L"Product root: not confirmed: the recorded folder C:\\Elsewhere is not the program folder C:\\P\n",
             L"Association of \".exe\": damaged\n",
             L"    HKEY_CLASSES_ROOT\\.exe (default): \"txtfile\", expected \"exefile\" -> fails\n",
             L"    UserChoice: Progid \"txtfile\"\n",
             L"    OpenWithList: a = \"notepad.exe\"\n",
             L"Uninstall guard: mutex \"tqn-un\" (probed as Local\\tqn-un): held, an uninstall is running\n",
             L"  (no arguments): start nothing: the product folder is not confirmed\n",
             L"The usual road would not start the tray program (exit code 1).\n",
         }) {
        EXPECT_NE(text.find(line), std::wstring::npos) << Utf8(line) << "\nin:\n" << Utf8(text);
    }

    const JsonValue json = Parsed(facts);
    EXPECT_EQ(json["modules"][1]["signer"].text, "Orrin Tools Ltd.");
    EXPECT_FALSE(json["modules"][1]["wouldLoad"].boolean);
    EXPECT_EQ(json["productRoot"]["reason"].text, "otherFolder");
    EXPECT_EQ(json["productRoot"]["recordedFolder"].text, "C:\\Elsewhere");
    EXPECT_FALSE(json["association"]["conditions"][1]["holds"].boolean);
    EXPECT_EQ(json["association"]["conditions"][1]["found"].text, "txtfile");
    EXPECT_EQ(json["association"]["overrides"]["userChoice"].text, "txtfile");
    EXPECT_EQ(json["association"]["overrides"]["openWithList"][0]["data"].text, "notepad.exe");
    EXPECT_TRUE(json["association"]["overrides"]["openWithProgids"].IsNull());
    EXPECT_EQ(json["uninstallGuard"]["objectName"].text, "Local\\tqn-un");
    EXPECT_EQ(json["dispatch"][0]["reason"].text, "rootNotConfirmed");
    EXPECT_EQ(json["exitCode"].number, 1);
}

// A value written by someone else cannot end its line and forge the next, nor
// send escape sequences to the reader's terminal.
TEST(ReportFormat, TextShowsControlCharactersOfValues) {
    ReportFacts facts = SampleFacts();
    facts.association.intact = false;
    facts.association.conditions[1].holds = false;
    facts.association.conditions[1].found = L"x\" -> holds\n    HKEY_CLASSES_ROOT\\.exe \"\x1b[8m";
    const std::wstring text = FormatText(facts);
    EXPECT_NE(text.find(L"(default): \"x\" -> holds<U+000A>    HKEY_CLASSES_ROOT\\.exe \"<U+001B>[8m\", expected "
                        L"\"exefile\" -> fails\n"),
              std::wstring::npos)
        << Utf8(text);
    for (const wchar_t c : text) EXPECT_TRUE(c == L'\n' || c >= 0x20) << static_cast<unsigned>(c);
}

// The reader the tests rely on refuses what is not JSON.
TEST(ReportFormat, ReaderRefusesMalformedText) {
    for (const char* bad : {"", "{", "{\"a\":}", "[1,]", "{\"a\":1,\"a\":2}", "\"\x01\"", "{} x", "tru"}) {
        EXPECT_FALSE(ParseJson(bad).has_value()) << bad;
    }
    EXPECT_EQ(ParseJson("{\"a\": [true, null, -1.5e1, \"\\u00e9\"]}")->operator[]("a")[3].text, "\xc3\xa9");
}
