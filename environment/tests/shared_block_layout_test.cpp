// Reading and writing the global block's text fields: bounded by the field
// and the view whatever the bytes hold (other processes write them).
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "crypt/string_crypt_tool.h"
#include "environment/shared_block_layout.h"

namespace tqn {
namespace {

// Puts UTF-16LE units at a byte offset.
void PutUnits(std::vector<uint8_t>& view, size_t offset, const std::vector<uint16_t>& units) {
    for (size_t i = 0; i < units.size(); ++i) {
        view.at(offset + 2 * i) = static_cast<uint8_t>(units[i] & 0xFF);
        view.at(offset + 2 * i + 1) = static_cast<uint8_t>(units[i] >> 8);
    }
}

std::wstring Units(const std::vector<uint16_t>& units) { return std::wstring(units.begin(), units.end()); }

// The reference reading, byte by byte through checked access.
std::wstring ReferenceRead(const std::vector<uint8_t>& view, BlockField field) {
    std::wstring text;
    if (field.offset > view.size()) return text;
    const size_t end = field.bytes < view.size() - field.offset ? field.offset + field.bytes : view.size();
    for (size_t at = field.offset; at + 1 < end; at += 2) {
        const uint16_t unit = static_cast<uint16_t>(view.at(at) | (view.at(at + 1) << 8));
        if (unit == 0) break;
        text.push_back(static_cast<wchar_t>(unit));
    }
    return text;
}

TEST(SharedBlockLayout, FieldsSitWhereOtherProcessesExpectThem) {
    EXPECT_EQ(kGlobalBlockSize, 7832u);
    EXPECT_EQ(kProductFolderField.offset, 12u);
    EXPECT_EQ(kProductFolderField.bytes, 2048u);
    EXPECT_EQ(kTracePathField.offset, 2060u);
    EXPECT_EQ(kTracePathField.bytes, 1024u);
    EXPECT_LE(kTracePathField.offset + kTracePathField.bytes, kGlobalBlockSize);
}

TEST(SharedBlockLayout, ReadsTextWithinFieldAndView) {
    struct Case {
        const char* what;
        size_t viewSize;
        BlockField field;
        size_t putAt;
        std::vector<uint16_t> units;
        std::wstring expected;
    };
    const std::vector<Case> cases = {
        // Terminated text is read up to its terminator.
        {"terminated", 64, {4, 32}, 4, {'A', ':', '\\', 0, 'x'}, L"A:\\"},
        // A zeroed field reads empty.
        {"empty", 64, {4, 32}, 0, {}, L""},
        // Without a terminator the whole field is read, and nothing after it.
        {"unterminated", 64, {4, 8}, 4, {'a', 'b', 'c', 'd', 'e', 'f'}, L"abcd"},
        // A field running past the view is cut at the view's end.
        {"past view", 10, {4, 32}, 4, {'p', 'q', 'r'}, L"pqr"},
        // An odd last byte in the view is not half a unit.
        {"odd end", 9, {4, 32}, 4, {'p', 'q', 'r'}, L"pq"},
        // A field starting after the view gives nothing.
        {"after view", 16, {20, 8}, 0, {}, L""},
        // A field starting exactly at the view's end gives nothing.
        {"at view end", 16, {16, 8}, 0, {}, L""},
        // Units outside ASCII and lone surrogates come back as they are.
        {"wide units", 32, {0, 32}, 0, {0x00E9, 0xD800, 0xFFFF}, Units({0x00E9, 0xD800, 0xFFFF})},
        // An odd field size leaves its last byte unread.
        {"odd field", 32, {0, 5}, 0, {'x', 'y', 'z'}, L"xy"},
        // An offset near the top of size_t does not wrap around.
        {"huge offset", 32, {std::numeric_limits<size_t>::max() - 1, 4}, 0, {'x'}, L""},
        // A huge field size is bounded by the view.
        {"huge field", 8, {2, std::numeric_limits<size_t>::max()}, 2, {'u', 'v', 'w'}, L"uvw"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> view(c.viewSize, 0);
        // Fill what the case writes, clipped to the view so cut cases can be set up.
        for (size_t i = 0; i < c.units.size(); ++i) {
            if (c.putAt + 2 * i < view.size()) view[c.putAt + 2 * i] = static_cast<uint8_t>(c.units[i] & 0xFF);
            if (c.putAt + 2 * i + 1 < view.size()) view[c.putAt + 2 * i + 1] = static_cast<uint8_t>(c.units[i] >> 8);
        }
        EXPECT_EQ(ReadBlockText(view, c.field), c.expected) << c.what;
    }
}

TEST(SharedBlockLayout, HostileProductFolderFieldStopsAtTheTracePath) {
    // A product-folder field filled to the brim must not run into the trace slot.
    std::vector<uint8_t> view(kGlobalBlockSize, 0);
    PutUnits(view, kProductFolderField.offset, std::vector<uint16_t>(1024, 'F'));
    PutUnits(view, kTracePathField.offset, {'T', 'T', 0});
    const std::wstring folder = ReadBlockText(view, kProductFolderField);
    EXPECT_EQ(folder, std::wstring(1024, L'F'));
    EXPECT_EQ(ReadBlockText(view, kTracePathField), L"TT");
}

TEST(SharedBlockLayout, HostileTraceSlotStopsAtItsEnd) {
    std::vector<uint8_t> view(kGlobalBlockSize, 0x41);  // no NUL anywhere
    EXPECT_EQ(ReadBlockText(view, kTracePathField), std::wstring(512, static_cast<wchar_t>(0x4141)));
}

TEST(SharedBlockLayout, WritesTextTerminatorAndZeroesTheRest) {
    std::vector<uint8_t> view(64, 0xCC);
    const BlockField field{8, 16};
    ASSERT_TRUE(WriteBlockText(view, field, L"ab"));
    EXPECT_EQ(ReadBlockText(view, field), L"ab");
    const std::vector<uint8_t> expectedField = {'a', 0, 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(view.begin() + 8, view.begin() + 24), expectedField);
    // Bytes around the field are untouched.
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(view[i], 0xCC) << i;
    for (size_t i = 24; i < view.size(); ++i) EXPECT_EQ(view[i], 0xCC) << i;
}

TEST(SharedBlockLayout, RefusedWritesLeaveTheViewUntouched) {
    struct Case {
        const char* what;
        size_t viewSize;
        BlockField field;
        std::wstring text;
    };
    const std::vector<Case> cases = {
        // Text filling every unit leaves no room for the terminator.
        {"no room for terminator", 64, {0, 8}, L"abcd"},
        // A field running past the view.
        {"past view", 16, {8, 16}, L"a"},
        // A field whose offset would wrap around.
        {"huge offset", 16, {std::numeric_limits<size_t>::max() - 1, 4}, L""},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> view(c.viewSize, 0x5A);
        EXPECT_FALSE(WriteBlockText(view, c.field, c.text)) << c.what;
        EXPECT_EQ(view, std::vector<uint8_t>(c.viewSize, 0x5A)) << c.what;
    }
    // One unit fewer than the field fits exactly.
    std::vector<uint8_t> view(8, 0x5A);
    EXPECT_TRUE(WriteBlockText(view, {0, 8}, L"abc"));
    EXPECT_EQ(ReadBlockText(view, {0, 8}), L"abc");
}

std::wstring EncryptedHex(const std::wstring& text) {
    std::wstring hex;
    EXPECT_TRUE(StringCryptToolW().EncryptToHex(text, hex));
    return hex;
}

std::wstring Lower(std::wstring text) {
    for (auto& c : text) c = (c >= L'A' && c <= L'F') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    return text;
}

TEST(SharedBlockLayout, ReadsEncryptedFieldsOrNothing) {
    const std::wstring folder = L"C:\\Program Files\\Tarvolin";
    const std::wstring hex = EncryptedHex(folder);
    const std::wstring longHex = EncryptedHex(std::wstring(300, L'p'));
    struct Case {
        const char* what;
        size_t viewSize;
        BlockField field;
        std::wstring stored;  // put into the field with its terminator where it fits
        std::wstring expected;
    };
    const std::vector<Case> cases = {
        // What the product's processes write.
        {"product folder", kGlobalBlockSize, kProductFolderField, hex, folder},
        {"trace path", kGlobalBlockSize, kTracePathField, hex, folder},
        // Lower-case digits read the same.
        {"lower case", kGlobalBlockSize, kProductFolderField, Lower(hex), folder},
        // An empty field.
        {"empty", kGlobalBlockSize, kProductFolderField, L"", L""},
        // Hex that is not a whole cipher text.
        {"short", kGlobalBlockSize, kProductFolderField, L"ABCD", L""},
        // A path too long for the slot is written cut to 511 digits: it must not decrypt.
        {"cut to the slot", kGlobalBlockSize, kTracePathField, longHex.substr(0, 511), L""},
        // A view ending just after the text: no terminator is needed.
        {"view ends after text", kProductFolderField.offset + 2 * hex.size(), kProductFolderField, hex, folder},
        // A view ending inside the text: only what lies inside is read, and it does not decrypt.
        {"view ends inside text", kProductFolderField.offset + 2 * (hex.size() - 4), kProductFolderField, hex, L""},
        // A field beyond the view.
        {"field beyond view", kProductFolderField.offset, kProductFolderField, hex, L""},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> view(c.viewSize, 0);
        std::vector<uint16_t> units(c.stored.begin(), c.stored.end());
        units.push_back(0);
        for (size_t i = 0; i < units.size() && c.field.offset + 2 * i + 1 < view.size(); ++i) {
            view[c.field.offset + 2 * i] = static_cast<uint8_t>(units[i] & 0xFF);
            view[c.field.offset + 2 * i + 1] = static_cast<uint8_t>(units[i] >> 8);
        }
        EXPECT_EQ(ReadEncryptedBlockText(view, c.field), c.expected) << c.what;
    }
}

TEST(SharedBlockLayout, RandomContentNeverReadsPastFieldOrView) {
    // Fixed seed: any failure reproduces. Views are exactly sized heap blocks,
    // so the sanitizer catches a read past the end.
    std::mt19937 random(20261208);
    for (int round = 0; round < 4000; ++round) {
        const size_t viewSize = random() % 8200;
        std::vector<uint8_t> view(viewSize);
        const unsigned zeroChance = random() % 4;  // 0: no NUL bytes at all
        for (auto& byte : view) {
            byte = static_cast<uint8_t>(random());
            if (zeroChance == 0 && byte == 0) byte = 1;
            if (zeroChance != 0 && random() % (64 * zeroChance) == 0) byte = 0;
        }
        BlockField field{};
        switch (random() % 4) {
        case 0: field = kProductFolderField; break;
        case 1: field = kTracePathField; break;
        case 2: field = {random() % 9000, random() % 4000}; break;
        default: field = {std::numeric_limits<size_t>::max() - random() % 16, random() % 64}; break;
        }
        const std::wstring text = ReadBlockText(view, field);
        ASSERT_EQ(text, ReferenceRead(view, field)) << "round " << round;
        ASSERT_LE(text.size() * 2, field.bytes) << "round " << round;
        ASSERT_EQ(text.find(L'\0'), std::wstring::npos) << "round " << round;

        // A write either lands whole and reads back, or changes nothing.
        std::wstring written(random() % 1100, L'x');
        for (auto& c : written) c = static_cast<wchar_t>(1 + random() % 0xFFFF);
        const std::vector<uint8_t> before = view;
        if (WriteBlockText(view, field, written)) {
            ASSERT_EQ(ReadBlockText(view, field), written) << "round " << round;
        } else {
            ASSERT_EQ(view, before) << "round " << round;
        }
    }
}

}  // namespace
}  // namespace tqn
