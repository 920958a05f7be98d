// The script data block reader, names and numbers: portable, run natively
// under the sanitizers and under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <span>

#include "script/script_block_reader.h"
#include "script/script_names.h"
#include "script/tests/block_builder.h"
#include "script/tests/block_reader_exercise.h"

using namespace tqn;
using namespace tqn::test;

namespace {

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

std::vector<uint8_t> UsualBlock() {
    return BuildBlock({
        {HashName(L"CommonData"),
         {Entry(L"EXT_NAME", L"exe"), Entry(L"TRAY_FILE", L"tray.exe"), Entry(L"EMPTY", L""),
          Entry(L"ext_name", L"second")}},
        {HashName(L"Environment"), {Entry(L"EXCEPTION_REPORT_METHOD", L"4")}},
    });
}

// Where the first entry of the first section starts in UsualBlock: after two records.
constexpr size_t kFirstEntry = 16 + 2 * 24;

struct Lookup {
    bool found;
    std::wstring value;
};

Lookup Find(const std::vector<uint8_t>& block, const wchar_t* section, const wchar_t* name) {
    std::wstring value = L"untouched";
    const bool found = LookupBlockValue(block, section, name, value);
    return {found, value};
}

}  // namespace

TEST(ScriptNames, HashAndNormalisation) {
    EXPECT_EQ(HashName(L"a"), 177670u);
    EXPECT_EQ(HashName(L""), 0u);
    EXPECT_EQ(HashName(L"CommonData"), 0xB1382788u);
    EXPECT_EQ(HashName(L"commondata"), 0xB1382788u);
    // Only ASCII capitals fold: a capital outside ASCII keeps its own hash.
    EXPECT_NE(HashName(L"\u00C9t\u00E9"), HashName(L"\u00E9t\u00E9"));
    EXPECT_EQ(NormalizeName(L"EXT_Name\u00C9"), L"ext_name\u00C9");
    EXPECT_EQ(ScriptBlockName(4242), L"TQScriptDataMap_4242");
}

TEST(ScriptNames, NumbersReadAsThe32BitLibraryWould) {
    const struct {
        const wchar_t* text;
        uint32_t number;
    } rows[] = {
        {L"12abc", 12},           {L"abc", 0},          {L"", 0},
        {L"  \t7", 7},            {L"+5", 5},           {L"-1", 0xFFFFFFFFu},
        {L"4294967295", 0xFFFFFFFFu}, {L"4294967296", 0xFFFFFFFFu},
        {L"99999999999999999999999", 0xFFFFFFFFu}, {L"007", 7},
    };
    for (const auto& row : rows) EXPECT_EQ(SettingNumber(row.text), row.number) << row.text;
}

TEST(ScriptBlockReader, WellFormedBlocks) {
    const auto block = UsualBlock();
    const struct {
        const wchar_t* section;
        const wchar_t* name;
        bool found;
        const wchar_t* value;
    } rows[] = {
        {L"CommonData", L"EXT_NAME", true, L"exe"},
        {L"COMMONDATA", L"tray_file", true, L"tray.exe"},          // names fold
        {L"CommonData", L"EMPTY", true, L""},                      // length 0: found, empty
        {L"CommonData", L"EXT_NAME", true, L"exe"},                // the first of two equal hashes
        {L"Environment", L"EXCEPTION_REPORT_METHOD", true, L"4"},
        {L"Environment", L"EXT_NAME", false, L"untouched"},        // only the named section
        {L"Missing", L"EXT_NAME", false, L"untouched"},
        {L"CommonData", L"MISSING", false, L"untouched"},
    };
    for (const auto& row : rows) {
        const Lookup got = Find(block, row.section, row.name);
        EXPECT_EQ(got.found, row.found) << row.name;
        EXPECT_EQ(got.value, row.value) << row.name;
    }
}

TEST(ScriptBlockReader, OnlyTheFirstMatchingSectionIsSearched) {
    // Two records with the section's hash: the first has a count of 0.
    const auto block = BuildBlock({
        {HashName(L"CommonData"), {Entry(L"EXT_NAME", L"exe")}, 0},
        {HashName(L"CommonData"), {Entry(L"EXT_NAME", L"later")}},
    });
    EXPECT_FALSE(Find(block, L"CommonData", L"EXT_NAME").found);
}

TEST(ScriptBlockReader, ValuesThatDoNotDecipherAreNotFound) {
    const auto block = BuildBlock({{HashName(L"S"),
                                    {{HashName(L"short"), std::vector<uint8_t>(15, 1)},
                                     {HashName(L"badlength"), std::vector<uint8_t>(18, 1)}}}});
    EXPECT_FALSE(Find(block, L"S", L"short").found);
    EXPECT_FALSE(Find(block, L"S", L"badlength").found);
}

TEST(ScriptBlockReader, HostileFieldsGiveNotFound) {
    // Each row overwrites one field of a good block; the lookup of the first
    // entry must fail cleanly, and so must a walk over the whole section for
    // a name it lacks and over the table for a section it lacks (the
    // sanitizers watch every read).
    struct Row {
        const char* what;
        size_t at;
        uint64_t value;
        bool firstStillFound = false;
    };
    const std::vector<uint8_t> good = BuildBlock({
        {HashName(L"CommonData"), {Entry(L"EXT_NAME", L"exe"), Entry(L"TRAY_FILE", L"tray.exe")}},
        {HashName(L"Environment"), {Entry(L"EXCEPTION_REPORT_METHOD", L"4")}},
    });
    const Row rows[] = {
        {"total size below the header", 0, 15},
        {"total size cuts the entry", 0, kFirstEntry + 20},
        {"section count near 2^64 (the walk stays in the bytes)", 8, kMax, true},
        {"section count past the block", 8, 1000, true},
        {"entry count near 2^64 (the walk stays in the bytes)", 16, kMax, true},
        {"offset near 2^64", 16 + 16, kMax - 7},
        {"offset past the block", 16 + 16, good.size()},
        {"offset leaves no room for an entry header", 16 + 16, good.size() - 15},
        {"value length near 2^64", kFirstEntry + 8, kMax},
        {"value length wraps with the offset", kFirstEntry + 8, kMax - kFirstEntry - 15},
        {"value length one past the block", kFirstEntry + 8, good.size() - kFirstEntry - 16 + 1},
        {"section hash with a high half", 16 + 8, (uint64_t{1} << 32) | HashName(L"CommonData")},
        {"entry hash with a high half", kFirstEntry, (uint64_t{1} << 32) | HashName(L"EXT_NAME")},
    };
    for (const Row& row : rows) {
        std::vector<uint8_t> block = good;
        PutWord(block, row.at, row.value);
        block.resize(good.size());
        EXPECT_EQ(Find(block, L"CommonData", L"EXT_NAME").found, row.firstStillFound) << row.what;
        EXPECT_FALSE(Find(block, L"CommonData", L"MISSING").found) << row.what;
        EXPECT_FALSE(Find(block, L"Missing", L"EXT_NAME").found) << row.what;
    }
}

TEST(ScriptBlockReader, EveryTruncationIsSafe) {
    // A value is found exactly when the whole entry lies within the bytes given.
    const std::vector<uint8_t> good = UsualBlock();
    const size_t entryEnd = kFirstEntry + 16 + GetWord(good, kFirstEntry + 8);
    for (size_t size = 0; size <= good.size(); ++size) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(size));
        EXPECT_EQ(Find(cut, L"CommonData", L"EXT_NAME").found, size >= entryEnd) << size;
    }
}

TEST(ScriptBlockReader, ReadingStaysInsideTheClaimedSize) {
    // The bytes after the claimed size are not the block's, whatever they
    // hold: a value is found exactly when its whole entry lies within the
    // claim (and the bytes given), and the value found lies within both.
    const std::vector<uint8_t> good = UsualBlock();
    const size_t entryEnd = kFirstEntry + 16 + GetWord(good, kFirstEntry + 8);
    std::vector<uint64_t> claims = {kMax, kMax - 15, uint64_t{1} << 63};
    for (uint64_t claimed = 0; claimed <= good.size() + 16; ++claimed) claims.push_back(claimed);
    for (const uint64_t claimed : claims) {
        std::vector<uint8_t> block = good;
        PutWord(block, 0, claimed);
        std::span<const uint8_t> cipher;
        const bool found = FindScriptBlockEntry(block, HashName(L"CommonData"), HashName(L"EXT_NAME"), cipher);
        EXPECT_EQ(found, claimed >= entryEnd) << claimed;
        const uint64_t limit = std::min<uint64_t>(claimed, block.size());
        if (found) {
            EXPECT_GE(cipher.data(), block.data() + kFirstEntry + 16) << claimed;
            EXPECT_LE(static_cast<uint64_t>(cipher.data() + cipher.size() - block.data()), limit) << claimed;
        }
    }
}

TEST(ScriptBlockReader, BoundedRandomRun) {
    // Random blocks and random mutations of a good one, under the sanitizers.
    std::mt19937_64 random(20261208);
    const std::vector<uint8_t> good = UsualBlock();
    const uint64_t extremes[] = {0, 1, 15, 16, 24, good.size(), kMax, kMax - 15, uint64_t{1} << 63};
    for (int round = 0; round < 20000; ++round) {
        std::vector<uint8_t> block;
        if (round % 4 == 0) {
            block.resize(random() % 256);
            for (auto& byte : block) byte = static_cast<uint8_t>(random());
        } else {
            block = good;
            for (int edits = 1 + static_cast<int>(random() % 4); edits > 0; --edits) {
                const size_t at = (random() % (good.size() / 8)) * 8;
                if (random() % 2 == 0) {
                    PutWord(block, at, extremes[random() % std::size(extremes)]);
                } else {
                    block[random() % block.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
                }
            }
            block.resize(random() % 3 == 0 ? random() % (good.size() + 1) : good.size());
        }
        ASSERT_TRUE(ExerciseBlockReader(block.data(), block.size())) << "round " << round;
    }
}
