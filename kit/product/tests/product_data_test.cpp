// The demo product's own data files, read natively by their Unix paths: the
// path tool's variables as installed, and the settings the launcher asks for.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "crypt/utf8_codec.h"
#include "kit/ptl/ptl_data.h"
#include "kit/script/script_language.h"

namespace {

std::string ReadWhole(const char* path) {
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file.good()) << path;
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string Narrow(const std::wstring& text) { return tqn::EncodeUtf8(text.data(), text.size()); }

TEST(ProductData, PathVariablesAsInstalled) {
    const ptl::EnvironmentLookup environment = [](const std::wstring& name, std::wstring& value) {
        if (name != L"ProgramData") return false;
        value = L"C:\\ProgramData";
        return true;
    };
    ptl::PathTable table;
    std::wstring error;
    ASSERT_TRUE(table.Load(ReadWhole(TQN_PRODUCT_PTL_DAT), L"ptl.dat", L"C:\\Program Files\\Tarvolin", environment,
                           error))
        << Narrow(error);
    const std::map<std::wstring, std::wstring> expected = {
        {L"PRODUCT_FOLDER", L"C:\\Program Files\\Tarvolin"},
        {L"UTIL_FOLDER", L"C:\\Program Files\\Tarvolin"},
        {L"CONFIG_FOLDER", L"C:\\Program Files\\Tarvolin\\config"},
        {L"COMMON_APPDATA", L"C:\\ProgramData\\Tarvolin"},
        {L"LOG_FOLDER", L"Logs"},
        {L"TRACE_FILE_NAME", L"launch.log"},
        {L"CONFIG_MODULE", L"config.tqm"},
        {L"STRING_MODULE", L"strings.tqm"},
        {L"SKIN_FILE", L"skin_ko.dat"},
        {L"SKIN_FILE_JP", L"skin_jp.dat"},
        {L"SKIN_FILE_EN", L"skin_en.dat"},
    };
    for (const auto& [name, value] : expected) {
        std::wstring found;
        EXPECT_TRUE(table.Find(name, found)) << Narrow(name);
        EXPECT_EQ(Narrow(found), Narrow(value)) << Narrow(name);
    }
    EXPECT_EQ(table.Values().size(), expected.size()) << "a variable nobody asks for";
}

TEST(ProductData, ScriptHoldsTheLaunchSettings) {
    scd::Script script;
    std::wstring error;
    ASSERT_TRUE(scd::ParseScript(ReadWhole(TQN_PRODUCT_SCRIPT), L"script.scd", script, error)) << Narrow(error);
    using Settings = std::vector<std::pair<std::string, std::string>>;
    const std::vector<std::pair<std::string, Settings>> expected = {
        {"CommonData",
         {{"EXT_NAME", "exe"}, {"TRAY_FILE", "tray_probe.exe"}, {"UNINSTALL_FILE", "uninstall_probe.exe"}}},
        {"Environment", {{"EXCEPTION_REPORT_METHOD", "4"}}},
    };
    std::vector<std::pair<std::string, Settings>> actual;
    for (const auto& section : script.sections) {
        Settings settings;
        for (const auto& setting : section.settings) {
            settings.emplace_back(Narrow(setting.name), Narrow(setting.value));
        }
        actual.emplace_back(Narrow(section.name), settings);
    }
    EXPECT_EQ(actual, expected);
}

}  // namespace
