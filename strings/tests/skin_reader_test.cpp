// The skin buffer reader, the identifier rules and the choice of skin:
// portable, run natively under the sanitizers and under Wine.
#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <random>
#include <set>

#include "strings/skin_buffer_reader.h"
#include "strings/skin_choice.h"
#include "strings/tests/skin_builder.h"
#include "strings/tests/skin_reader_exercise.h"

using namespace tqn;
using namespace tqn::test;

namespace {

const uint32_t kUac = SkinStringKey(L"IDS_MSG_UAC_CHECK");
const uint32_t kName = SkinStringKey(L"IDS_PRODUCT_NAME");

struct Found {
    bool found;
    std::wstring text;
};

Found Find(const std::vector<uint8_t>& buffer, uint32_t key) {
    std::wstring text = L"untouched";
    const bool found = FindSkinText(buffer, ReadSkinLayout(buffer), key, text);
    return {found, text};
}

}  // namespace

TEST(SkinRules, KeysIdentifiersAndPaths) {
    EXPECT_EQ(SkinStringKey(L"a"), 177670u);
    EXPECT_EQ(SkinStringKey(L""), 0u);
    EXPECT_NE(SkinStringKey(L"IDS_A"), SkinStringKey(L"ids_a"));  // letter case counts

    EXPECT_FALSE(IsSkinIdentifier(L"HELLO"));
    EXPECT_TRUE(IsSkinIdentifier(L"IDS_PRODUCT_NAME"));
    EXPECT_TRUE(IsSkinIdentifier(L"X_IDS_Y"));
    EXPECT_FALSE(IsSkinIdentifier(L"ids_lower"));

    EXPECT_EQ(ExpandSkinLineBreaks(L"a\\nb\\rc\\n"), L"a\nb\rc\n");
    EXPECT_EQ(ExpandSkinLineBreaks(L"\\\\n"), L"\\\n");
    EXPECT_EQ(ExpandSkinLineBreaks(L"no breaks"), L"no breaks");

    EXPECT_EQ(SkinPathOf(L"C:\\P\\a.dat.dat"), L"C:\\P\\a.skn.skn");
    EXPECT_EQ(SkinPathOf(L"C:\\data.dat\\skin_en.dat"), L"C:\\data.skn\\skin_en.skn");
    EXPECT_EQ(SkinPathOf(L""), L"");
}

TEST(SkinChoice, LanguageThenEnglishThenDefault) {
    const std::map<std::wstring, std::wstring> variables = {
        {L"SKIN_FILE", L"C:\\c\\skin_ko.dat"}, {L"SKIN_FILE_JP", L"C:\\c\\skin_jp.dat"},
        {L"SKIN_FILE_EN", L"C:\\c\\skin_en.dat"}};
    const auto pathOf = [&](const wchar_t* name) {
        const auto found = variables.find(name);
        return found == variables.end() ? std::wstring() : found->second;
    };
    const struct {
        const char* what;
        uint16_t language;
        std::set<std::wstring> present;
        const wchar_t* chosen;
    } rows[] = {
        {"Korean", 0x0412, {L"C:\\c\\skin_ko.skn", L"C:\\c\\skin_en.skn"}, L"C:\\c\\skin_ko.skn"},
        {"Korean skin missing", 0x0412, {L"C:\\c\\skin_en.skn"}, L"C:\\c\\skin_en.skn"},
        {"Korean and English missing", 0x0412, {}, L"C:\\c\\skin_ko.skn"},
        {"Japanese", 0x0411, {L"C:\\c\\skin_jp.skn", L"C:\\c\\skin_en.skn"}, L"C:\\c\\skin_jp.skn"},
        {"Japanese skin missing", 0x0411, {L"C:\\c\\skin_en.skn"}, L"C:\\c\\skin_en.skn"},
        {"French", 0x040C, {L"C:\\c\\skin_ko.skn", L"C:\\c\\skin_jp.skn", L"C:\\c\\skin_en.skn"},
         L"C:\\c\\skin_en.skn"},
        {"French without English", 0x040C, {L"C:\\c\\skin_jp.skn"}, L"C:\\c\\skin_ko.skn"},
        // The .dat file itself is never what is checked or chosen.
        {"only .dat files", 0x0412, {L"C:\\c\\skin_ko.dat", L"C:\\c\\skin_en.dat"}, L"C:\\c\\skin_ko.skn"},
    };
    for (const auto& row : rows) {
        const auto usable = [&](const std::wstring& path) { return row.present.count(path) > 0; };
        EXPECT_EQ(ChooseSkinPath(row.language, pathOf, usable), row.chosen) << row.what;
    }
    // Without any skin variable the choice is empty.
    EXPECT_EQ(ChooseSkinPath(0x0412, [](const wchar_t*) { return std::wstring(); },
                             [](const std::wstring&) { return true; }),
              L"");
}

TEST(SkinBufferReader, Lookups) {
    const auto buffer = BuildSkinBuffer({
        {1, kName, L"withdrawn"},             // flagged: skipped
        {0, kName, L"Tarvolin"},
        {0, kUac, L"Repair?\\nYes or no"},    // line breaks are expanded later, by GetString
        {0, kUac, L"second"},
        {0, SkinStringKey(L"IDS_EMPTY"), L""},
        {0, SkinStringKey(L"IDS_EMPTY"), L"later"},
        {0, SkinStringKey(L"IDS_WIDE"), std::wstring{wchar_t(0xD55C), wchar_t(0xAE00)}},
    });
    const struct {
        uint32_t key;
        bool found;
        std::wstring text;
    } rows[] = {
        {kName, true, L"Tarvolin"},
        {kUac, true, L"Repair?\\nYes or no"},
        {SkinStringKey(L"IDS_EMPTY"), false, L""},  // length 0 decides, although a later one has text
        {SkinStringKey(L"IDS_WIDE"), true, std::wstring{wchar_t(0xD55C), wchar_t(0xAE00)}},
        {SkinStringKey(L"IDS_NONE"), false, L""},
    };
    for (const auto& row : rows) {
        const Found got = Find(buffer, row.key);
        EXPECT_EQ(got.found, row.found) << row.key;
        EXPECT_EQ(got.text, row.text) << row.key;
    }
    // A buffer too short for its header has no entries.
    EXPECT_EQ(ReadSkinLayout(std::vector<uint8_t>(23, 0)).entryCount, 0u);
}

TEST(SkinBufferReader, HostileFieldsStayInsideTheBytes) {
    const std::vector<uint8_t> good = BuildSkinBuffer({{0, kName, L"Tarvolin"}, {0, kUac, L"Repair?"}});
    const size_t firstEntry = kSkinHeaderSize;
    const size_t firstRecord = kSkinHeaderSize + 2 * kSkinEntrySize;
    constexpr uint64_t kMax64 = std::numeric_limits<uint64_t>::max();
    const struct {
        const char* what;
        size_t at;
        uint64_t value;
        int width;  // 4 or 8 bytes
        bool nameFound;
    } rows[] = {
        {"L near 2^64 (L + 8 wraps)", 0, kMax64, 8, true},
        {"L larger than the bytes", 0, good.size() * 2, 8, true},
        {"L cuts the first record", 0, firstRecord + 10 - 8, 8, false},
        {"L below the header", 0, 10, 8, false},
        {"N beyond the bytes", 20, 0xFFFFFFFFu, 4, false},
        {"offset past the end", firstEntry + 8, 0xFFFFFFF0u, 4, false},
        {"offset leaves no room for the record header", firstEntry + 8, good.size() - firstRecord - 7, 4, false},
        {"T past the end", firstRecord + 4, 0xFFFFFFFFu, 4, false},
        {"T one past the end", firstRecord + 4, good.size() - firstRecord - 8 + 1, 4, false},
        {"T of 0: the text is missing", firstRecord + 4, 0, 4, false},
        {"flag set", firstEntry, 1, 4, false},
    };
    for (const auto& row : rows) {
        std::vector<uint8_t> buffer = good;
        if (row.width == 8) {
            Put64(buffer, row.at, row.value);
        } else {
            Put32(buffer, row.at, static_cast<uint32_t>(row.value));
        }
        const Found got = Find(buffer, kName);
        EXPECT_EQ(got.found, row.nameFound) << row.what;
        if (row.nameFound) {
            EXPECT_EQ(got.text, L"Tarvolin") << row.what;
        }
        Find(buffer, kUac);
    }
}

TEST(SkinBufferReader, EveryTruncationIsSafe) {
    const std::vector<uint8_t> good = BuildSkinBuffer({{0, kName, L"Tarvolin"}, {0, kUac, L"Repair?"}});
    // The first record ends where the second begins.
    const size_t firstRecordEnd = kSkinHeaderSize + 2 * kSkinEntrySize + 8 + Transformed(L"Tarvolin").size();
    for (size_t size = 0; size <= good.size(); ++size) {
        const std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(size));
        const Found got = Find(cut, kName);
        EXPECT_EQ(got.found, size >= firstRecordEnd) << size;
    }
}

TEST(SkinBufferReader, SizeRule) {
    EXPECT_TRUE(SkinBufferSizeAcceptable(4088, 4096));
    EXPECT_TRUE(SkinBufferSizeAcceptable(0, 8));
    EXPECT_FALSE(SkinBufferSizeAcceptable(4089, 4096));
    EXPECT_FALSE(SkinBufferSizeAcceptable(std::numeric_limits<uint64_t>::max(), 4096));
    EXPECT_FALSE(SkinBufferSizeAcceptable(std::numeric_limits<uint64_t>::max() - 7, 4096));
    EXPECT_FALSE(SkinBufferSizeAcceptable(0, 7));
}

TEST(SkinBufferReader, BoundedRandomRun) {
    std::mt19937_64 random(20261208);
    const std::vector<uint8_t> good =
        BuildSkinBuffer({{0, kName, L"Tarvolin"}, {1, kUac, L"old"}, {0, kUac, L"Repair?"}, {0, 7, L""}});
    const uint32_t extremes[] = {0, 1, 7, 8, 12, 24, static_cast<uint32_t>(good.size()), 0x7FFFFFFF, 0xFFFFFFFF};
    for (int round = 0; round < 20000; ++round) {
        std::vector<uint8_t> buffer;
        if (round % 4 == 0) {
            buffer.resize(random() % 160);
            for (auto& byte : buffer) byte = static_cast<uint8_t>(random());
        } else {
            buffer = good;
            for (int edits = 1 + static_cast<int>(random() % 4); edits > 0; --edits) {
                const size_t at = (random() % (good.size() / 4)) * 4;
                if (random() % 2 == 0) {
                    Put32(buffer, at, extremes[random() % std::size(extremes)]);
                } else {
                    buffer[random() % buffer.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
                }
            }
            buffer.resize(random() % 3 == 0 ? random() % (good.size() + 1) : good.size());
        }
        ASSERT_TRUE(ExerciseSkinReader(buffer.data(), buffer.size())) << "round " << round;
    }
}
