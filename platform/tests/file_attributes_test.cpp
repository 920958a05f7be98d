#include <gtest/gtest.h>

#include "platform/file_attributes.h"

TEST(AttributeQuery, LongPathsGetThePrefixOnce) {
    const std::wstring exactly260 = L"C:\\" + std::wstring(257, L'a');
    ASSERT_EQ(exactly260.size(), 260u);
    EXPECT_EQ(tqn::PathForAttributeQuery(exactly260), exactly260);
    const std::wstring longer = exactly260 + L"b";
    EXPECT_EQ(tqn::PathForAttributeQuery(longer), L"\\\\?\\" + longer);
    const std::wstring prefixed = L"\\\\?\\" + longer;
    EXPECT_EQ(tqn::PathForAttributeQuery(prefixed), prefixed);
}

TEST(FilePresence, AttributesDecide) {
    struct Row {
        const char* what;
        uint32_t attributes;
        const wchar_t* path;
        bool xp;
        bool exists;
        bool isDirectory;
    };
    const Row rows[] = {
        {"missing", tqn::kInvalidFileAttributes, L"C:\\x", false, false, false},
        {"plain file", 0x20, L"C:\\x.exe", false, true, false},
        {"normal file", 0x80, L"C:\\x.exe", false, true, false},
        {"offline file", 0x20 | 0x1000, L"C:\\x.exe", false, false, false},
        {"virtual file", 0x20 | 0x10000, L"C:\\x.exe", false, false, false},
        {"offline folder", 0x10 | 0x1000, L"C:\\d", false, false, false},
        {"folder", 0x10, L"C:\\d", false, true, true},
        {"reparse-point folder", 0x10 | 0x400, L"C:\\d", false, false, false},
        {"reparse-point file", 0x20 | 0x400, L"C:\\f", false, true, false},
        {"XP junction under Documents and Settings", 0x10 | 0x400,
         L"C:\\Documents and Settings\\All Users", true, true, true},
        {"junction there without the XP flag", 0x10 | 0x400,
         L"C:\\Documents and Settings\\All Users", false, false, false},
        {"XP junction elsewhere", 0x10 | 0x400, L"C:\\Other\\All Users", true, false, false},
        {"XP junction, prefixed long name", 0x10 | 0x400,
         L"\\\\?\\D:\\DOCUMENTS AND SETTINGS\\x", true, true, true},
    };
    for (const auto& row : rows) {
        const auto presence = tqn::JudgeFileAttributes(row.attributes, row.path, row.xp);
        EXPECT_EQ(presence.exists, row.exists) << row.what;
        EXPECT_EQ(presence.isDirectory, row.isDirectory) << row.what;
    }
}

TEST(FilePresence, UsableFile) {
    EXPECT_TRUE(tqn::IsUsableFile(0x20));                      // archive
    EXPECT_TRUE(tqn::IsUsableFile(0x80));                      // normal
    EXPECT_FALSE(tqn::IsUsableFile(tqn::kInvalidFileAttributes));
    EXPECT_FALSE(tqn::IsUsableFile(0x10));                     // a folder
    EXPECT_FALSE(tqn::IsUsableFile(0x20 | 0x1000));            // offline
    EXPECT_FALSE(tqn::IsUsableFile(0x20 | 0x10000));           // virtual
}
