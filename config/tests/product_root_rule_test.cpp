#include <gtest/gtest.h>

#include "config/product_root_rule.h"

TEST(ProductRootRule, FolderComparison) {
    const struct {
        const wchar_t* productPath;
        const wchar_t* programFolder;
        bool same;
    } rows[] = {
        {L"D:\\Product\\", L"d:\\product", true},      // one trailing backslash, case ignored
        {L"D:\\Product", L"d:\\product\\", true},
        {L"D:\\Product\\\\", L"D:\\Product", false},   // only one backslash is dropped
        {L"D:\\Product\\bin", L"D:\\Product", false},
        {L"D:\\Product", L"D:\\Product\\bin", false},
        {L"C:\\", L"C:", true},
        {L"D:\\Other", L"D:\\Product", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(tqn::SameProductFolder(row.productPath, row.programFolder), row.same)
            << row.productPath << " / " << row.programFolder;
    }
}

TEST(ProductRootRule, OnlyRootDirNamesTheInstalledFolder) {
    EXPECT_TRUE(tqn::RootDirNamesFolder(L"D:\\Product\\", L"d:\\product"));
    EXPECT_FALSE(tqn::RootDirNamesFolder(L"", L""));  // nothing recorded names no folder
    EXPECT_FALSE(tqn::RootDirNamesFolder(L"D:\\Product", L"C:\\Users\\u\\Product"));
}
