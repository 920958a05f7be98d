// The skin buffer, walked here independently of the writer: length, count,
// each entry's flag, key and offset, each record's length, and each text
// deciphered back; and the identifier keys against values worked out apart.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "crypt/crypt_tool.h"
#include "kit/strings/skin_buffer_writer.h"
#include "kit/testsupport/le_bytes.h"
#include "kit/strings/skin_file.h"
#include "strings/skin_buffer_reader.h"

namespace skn {
namespace {

TEST(SkinBuffer, KeysAreCaseSensitiveDjb2OverUtf16Units) {
    const struct {
        std::wstring id;
        uint32_t key;
    } rows[] = {
        {L"", 0},
        {L"a", 0x2B606},  // 5381 * 33 + 97
        {L"IDS_PRODUCT_NAME", 0xD8419A45},
        {L"ids_product_name", 0x7CF73C05},  // no case folding
        {L"IDS_MSG_UAC_CHECK", 0x6F9DBCC0},
        {L"\uD55C", 0x38B01},
        {std::wstring{L'I', L'D', L'S', L'_', wchar_t(0xD83D), wchar_t(0xDE00)}, 0xB741F261},  // two units
    };
    for (const auto& row : rows) EXPECT_EQ(tqn::SkinStringKey(row.id), row.key) << row.key;
}

TEST(SkinBuffer, EveryTextInSkinOrder) {
    struct Expected {
        std::wstring id;
        std::u16string text;
        bool withdrawn;
    };
    const std::vector<Expected> expected = {
        {L"IDS_PRODUCT_NAME", u"Tarvolin", false},
        {L"IDS_MSG_UAC_CHECK", u"line one\\nline two", false},  // the escape stays two units
        {L"IDS_EMPTY", u"", false},                             // T = 0, no bytes
        {L"IDS_OLD", u"withdrawn", true},
        {L"IDS_OLD_EMPTY", u"", true},
        {L"IDS_PRODUCT_NAME", u"\uD0C0\uB974\uBCFC\uB9B0", false},  // a repeat, kept
        {L"IDS_WIDE", u"\U0001F600\u30BF", false},
    };
    Skin skin;
    for (const Expected& e : expected) {
        skin.texts.push_back({e.id, std::wstring(e.text.begin(), e.text.end()), e.withdrawn, 1});
    }
    const std::vector<uint8_t> buffer = BuildSkinBuffer(skin);

    ASSERT_GE(buffer.size(), 24u);
    EXPECT_EQ(tqn::test::LittleEndianAt(buffer, 0, 8), buffer.size() - 8);
    for (size_t i = 8; i < 20; ++i) EXPECT_EQ(buffer[i], 0) << "reserved byte " << i;
    ASSERT_EQ(tqn::test::LittleEndianAt(buffer, 20, 4), expected.size());
    const uint64_t textArea = 24 + 12 * expected.size();
    uint64_t next = textArea;
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const uint64_t entry = 24 + 12 * i;
        EXPECT_EQ(tqn::test::LittleEndianAt(buffer, entry, 4), expected[i].withdrawn ? 1u : 0u);
        EXPECT_EQ(tqn::test::LittleEndianAt(buffer, entry + 4, 4), tqn::SkinStringKey(expected[i].id));
        ASSERT_EQ(textArea + tqn::test::LittleEndianAt(buffer, entry + 8, 4), next);  // records back to back
        EXPECT_EQ(tqn::test::LittleEndianAt(buffer, next, 4), 0u);
        const uint64_t length = tqn::test::LittleEndianAt(buffer, next + 4, 4);
        ASSERT_LE(length, buffer.size() - (next + 8));
        if (expected[i].text.empty()) {
            EXPECT_EQ(length, 0u);
        } else {
            const auto start = buffer.begin() + static_cast<ptrdiff_t>(next + 8);
            const ByteBuffer enciphered(start, start + static_cast<ptrdiff_t>(length));
            EXPECT_NE(enciphered, tqn::test::Utf16LeWithNul(expected[i].text));  // really enciphered
            ByteBuffer plain;
            ASSERT_NE(tqn::CryptTool().Transform(enciphered, plain), 0);
            EXPECT_EQ(plain, tqn::test::Utf16LeWithNul(expected[i].text));
        }
        next += 8 + length;
    }
    EXPECT_EQ(next, buffer.size());  // nothing after the last record
}

}  // namespace
}  // namespace skn

TEST(SkinBuffer, TheLaunchersReaderFindsWhatWasWritten) {
    // Written by the module, read back with the launcher's own reader.
    const std::string text =
        "-IDS_A = withdrawn\n"
        "IDS_A = active\n"
        "IDS_B =\n"
        "IDS_B = later\n"
        "IDS_WIDE = \xED\x83\x80\xF0\x9F\x98\x80\n";
    skn::Skin skin;
    std::wstring error;
    ASSERT_TRUE(skn::ParseSkin(text, L"test.skn", skin, error));
    const std::vector<uint8_t> buffer = skn::BuildSkinBuffer(skin);
    const tqn::SkinLayout layout = tqn::ReadSkinLayout(buffer);
    EXPECT_EQ(layout.entryCount, 5u);
    const struct {
        const wchar_t* id;
        bool found;
        std::wstring text;
    } rows[] = {
        {L"IDS_A", true, L"active"},
        {L"IDS_B", false, L""},
        {L"IDS_WIDE", true, std::wstring{wchar_t(0xD0C0), wchar_t(0xD83D), wchar_t(0xDE00)}},
        {L"ids_a", false, L""},
    };
    for (const auto& row : rows) {
        std::wstring found;
        EXPECT_EQ(tqn::FindSkinText(buffer, layout, tqn::SkinStringKey(row.id), found), row.found);
        EXPECT_EQ(found, row.text);
    }
}
