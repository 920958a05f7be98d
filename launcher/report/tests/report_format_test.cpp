// The report's text and JSON over the same facts, natively.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "crypt/utf8_codec.h"
#include "launcher/report/report_format.h"
#include "launcher/report/tests/sample_facts.h"

using namespace tqn::report;
using Json = nlohmann::ordered_json;  // members in the order written

namespace {

std::string Utf8(const std::wstring& text) { return tqn::EncodeUtf8(text.data(), text.size()); }

Json Parsed(const ReportFacts& facts) {
    const std::string text = FormatJson(facts);
    Json json = Json::parse(text, nullptr, false);
    EXPECT_FALSE(json.is_discarded()) << text;
    return json.is_discarded() ? Json() : json;
}

}  // namespace

// Text someone else wrote stays one JSON string: escaped where it must be,
// UTF-8 as it is, the same text when read back.
TEST(ReportFormat, JsonStringsKeepOddText) {
    ReportFacts facts = SampleFacts();
    facts.settings.trayFile = L"q\"C:\\P\n\x01\x1f\u00e9\u4e2d";
    const std::string text = FormatJson(facts);
    EXPECT_NE(text.find("\"TRAY_FILE\": \"q\\\"C:\\\\P\\n\\u0001\\u001f\xc3\xa9\xe4\xb8\xad\",\n"), std::string::npos)
        << text;
    EXPECT_EQ(Parsed(facts)["settings"]["TRAY_FILE"], Utf8(*facts.settings.trayFile));
}

// One object; the field names docs/support.md documents, each where it belongs.
TEST(ReportFormat, JsonFieldsOfAHealthyProduct) {
    Json json = Parsed(SampleFacts());
    std::vector<std::string> names;
    for (const auto& member : json.items()) names.push_back(member.key());
    // In the order docs/support.md lists them.
    EXPECT_EQ(names, (std::vector<std::string>{"windows", "account", "productFolder", "modules", "productRoot",
                                               "settings", "association", "uninstallGuard", "dispatch", "trace",
                                               "usualRoadStartsTray", "exitCode"}));
    EXPECT_EQ(json["windows"]["version"], "10.0.18362");
    EXPECT_EQ(json["windows"]["flags"]["windows10"], true);
    EXPECT_EQ(json["windows"]["flags"]["windows7"], false);
    EXPECT_EQ(json["windows"]["flags"].size(), 9u);
    EXPECT_NE(FormatText(SampleFacts()).find(L"\n  flags: NT, 2000 or later, Vista or later, Windows 10\n"),
              std::wstring::npos);
    EXPECT_EQ(json["account"]["integrity"], "high");
    EXPECT_EQ(json["productFolder"]["origin"], "programFolder");
    EXPECT_EQ(json["modules"].size(), 4u);
    EXPECT_EQ(json["modules"][1]["role"], "configuration");
    EXPECT_EQ(json["modules"][1]["signature"]["code"], "0x00000000");
    EXPECT_EQ(json["modules"][1]["signer"], "Brennick Corp.");
    EXPECT_EQ(json["modules"][3]["testsApplied"], false);
    EXPECT_EQ(json["productRoot"]["reason"], "sameFolder");
    EXPECT_EQ(json["settings"]["scriptMode"], "sharedBlock");
    EXPECT_EQ(json["settings"]["EXCEPTION_REPORT_METHOD"], 4);
    EXPECT_EQ(json["association"]["conditions"].size(), 4u);
    EXPECT_EQ(json["association"]["conditions"][2]["value"], "Content Type");
    EXPECT_TRUE(json["association"]["conditions"][0]["expected"].is_null());
    EXPECT_TRUE(json["uninstallGuard"]["mutexName"].is_null());
    ASSERT_EQ(json["dispatch"].size(), 5u);
    EXPECT_EQ(json["dispatch"][0]["commandLine"], "");
    EXPECT_EQ(json["dispatch"][0]["action"], "startTray");
    EXPECT_EQ(json["dispatch"][0]["launchPath"], "plain");
    EXPECT_EQ(json["dispatch"][0]["startedAs"], "\"C:\\P\\tray.exe\" /launch");
    EXPECT_EQ(json["dispatch"][3]["action"], "startUninstaller");
    EXPECT_TRUE(json["dispatch"][3]["arguments"].is_null());
    EXPECT_EQ(json["trace"]["dumpFile"], "C:\\Data\\Logs\\Launch.exe.dmp");
    EXPECT_EQ(json["usualRoadStartsTray"], true);
    EXPECT_EQ(json["exitCode"], 0);
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

    Json json = Parsed(facts);
    EXPECT_EQ(json["modules"][1]["signer"], "Orrin Tools Ltd.");
    EXPECT_EQ(json["modules"][1]["wouldLoad"], false);
    EXPECT_EQ(json["productRoot"]["reason"], "otherFolder");
    EXPECT_EQ(json["productRoot"]["recordedFolder"], "C:\\Elsewhere");
    EXPECT_EQ(json["association"]["conditions"][1]["holds"], false);
    EXPECT_EQ(json["association"]["conditions"][1]["found"], "txtfile");
    EXPECT_EQ(json["association"]["overrides"]["userChoice"], "txtfile");
    EXPECT_EQ(json["association"]["overrides"]["openWithList"][0]["data"], "notepad.exe");
    EXPECT_TRUE(json["association"]["overrides"]["openWithProgids"].is_null());
    EXPECT_EQ(json["uninstallGuard"]["objectName"], "Local\\tqn-un");
    EXPECT_EQ(json["dispatch"][0]["reason"], "rootNotConfirmed");
    EXPECT_EQ(json["exitCode"], 1);
}

// A value written by someone else cannot end its line and forge the next, nor
// send escape sequences to the reader's terminal.
TEST(ReportFormat, TextShowsControlCharactersOfValues) {
    ReportFacts facts = SampleFacts();
    facts.association.intact = false;
    facts.association.conditions[1].holds = false;
    facts.association.conditions[1].found = L"x\" -> holds\n    HKEY_CLASSES_ROOT\\.exe \"\x1b[8m\x9b\x202e\x2028\x2066";
    const std::wstring text = FormatText(facts);
    EXPECT_NE(text.find(L"(default): \"x\" -> holds<U+000A>    HKEY_CLASSES_ROOT\\.exe \"<U+001B>[8m<U+009B><U+202E>"
                        L"<U+2028><U+2066>\", expected "
                        L"\"exefile\" -> fails\n"),
              std::wstring::npos)
        << Utf8(text);
    for (const wchar_t c : text) EXPECT_TRUE(c == L'\n' || (c >= 0x20 && (c < 0x7F || c > 0x9F) && c < 0x2000)) << static_cast<unsigned>(c);
}
