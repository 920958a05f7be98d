// The script data block, walked here independently of the writer: header,
// section records, entries, and each value deciphered back to its text.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "crypt/crypt_tool.h"
#include "kit/script/script_block_writer.h"
#include "kit/testsupport/le_bytes.h"
#include "script/script_block_reader.h"
#include "script/script_names.h"

namespace scd {
namespace {

struct ExpectedSet {
    std::wstring name;
    std::u16string value;
};
struct ExpectedSection {
    std::wstring name;
    std::vector<ExpectedSet> sets;
};

Script ScriptOf(const std::vector<ExpectedSection>& expected) {
    Script script;
    for (const ExpectedSection& section : expected) {
        Section built{section.name, 1, {}};
        for (const ExpectedSet& set : section.sets) {
            built.settings.push_back({set.name, std::wstring(set.value.begin(), set.value.end()), 1});
        }
        script.sections.push_back(built);
    }
    return script;
}

TEST(ScriptBlock, EverySetOfEverySectionInScriptOrder) {
    const std::vector<ExpectedSection> expected = {
        {L"CommonData",
         {
             {L"EXT_NAME", u"exe"},
             {L"Ext_Name", u"second"},    // the same name again in another case: kept, in order
             {L"EMPTY", u""},             // L = 0, no bytes
             {L"SEVEN", u"1234567"},      // 16 plaintext bytes: no length prefix
             {L"PAIR", u"\U0001F600\u00E9"},  // a surrogate pair stays two units
         }},
        {L"Nothing", {}},  // an empty section points at the next section's entries
        {L"Environment", {{L"EXCEPTION_REPORT_METHOD", u"4"}}},
    };
    const std::vector<uint8_t> block = BuildScriptBlock(ScriptOf(expected));

    ASSERT_GE(block.size(), kBlockHeaderSize);
    EXPECT_EQ(tqn::test::LittleEndianAt(block, 0, 8), block.size());
    ASSERT_EQ(tqn::test::LittleEndianAt(block, 8, 8), expected.size());
    uint64_t next = kBlockHeaderSize + kSectionRecordSize * expected.size();
    for (size_t s = 0; s < expected.size(); ++s) {
        const ExpectedSection& section = expected[s];
        const uint64_t record = kBlockHeaderSize + kSectionRecordSize * s;
        EXPECT_EQ(tqn::test::LittleEndianAt(block, record, 8), section.sets.size()) << s;
        EXPECT_EQ(tqn::test::LittleEndianAt(block, record + 8, 8), uint64_t{tqn::HashName(section.name)}) << s;
        ASSERT_EQ(tqn::test::LittleEndianAt(block, record + 16, 8), next) << s;
        for (const ExpectedSet& set : section.sets) {
            SCOPED_TRACE(std::string(set.name.begin(), set.name.end()));
            EXPECT_EQ(tqn::test::LittleEndianAt(block, next, 8), uint64_t{tqn::HashName(set.name)});
            const uint64_t length = tqn::test::LittleEndianAt(block, next + 8, 8);
            ASSERT_LE(length, block.size() - (next + kEntryHeaderSize));
            if (set.value.empty()) {
                EXPECT_EQ(length, 0u);
            } else {
                const auto start = block.begin() + static_cast<ptrdiff_t>(next + kEntryHeaderSize);
                const ByteBuffer enciphered(start, start + static_cast<ptrdiff_t>(length));
                ByteBuffer plain;
                ASSERT_NE(tqn::CryptTool().Decrypt(enciphered, plain), 0);
                EXPECT_EQ(plain, tqn::test::Utf16LeWithNul(set.value));
            }
            next += kEntryHeaderSize + length;
        }
    }
    EXPECT_EQ(next, block.size());  // nothing after the last entry
}

TEST(ScriptBlock, EmptyScriptIsTheHeaderAlone) {
    const std::vector<uint8_t> expected = {16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(BuildScriptBlock(Script()), expected);
}

}  // namespace
}  // namespace scd

namespace {
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
}  // namespace

TEST(ScriptBlock, TheLaunchersReaderFindsWhatWasWritten) {
    // Written by the engine, read back with the launcher's own reader.
    const std::string text =
        "[CommonData]\n"
        "set EXT_NAME = \"exe\"\n"
        "set Twice = \"first\"\n"
        "set TWICE = \"second\"\n"
        "set EMPTY = \"\"\n"
        "set WIDE = \"\\u{1F600}\\u{E9}\"\n"
        "[Environment]\n"
        "set EXCEPTION_REPORT_METHOD = 4\n";
    scd::Script script;
    std::wstring error;
    ASSERT_TRUE(scd::ParseScript(text, L"script.scd", script, error)) << Narrow(error);
    const std::vector<uint8_t> block = scd::BuildScriptBlock(script);

    const struct {
        const wchar_t* section;
        const wchar_t* name;
        std::wstring value;
    } rows[] = {
        {L"commondata", L"ext_name", L"exe"},
        {L"CommonData", L"twice", L"first"},
        {L"CommonData", L"EMPTY", L""},
        {L"CommonData", L"WIDE", std::wstring{wchar_t(0xD83D), wchar_t(0xDE00), wchar_t(0xE9)}},
        {L"Environment", L"EXCEPTION_REPORT_METHOD", L"4"},
    };
    for (const auto& row : rows) {
        std::wstring value = L"untouched";
        EXPECT_TRUE(tqn::LookupBlockValue(block, row.section, row.name, value)) << Narrow(row.name);
        EXPECT_EQ(value, row.value) << Narrow(row.name);
    }
    std::wstring value;
    EXPECT_FALSE(tqn::LookupBlockValue(block, L"Environment", L"EXT_NAME", value));
}
