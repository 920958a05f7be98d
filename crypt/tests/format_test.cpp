#include "crypt/format.h"

#include <gtest/gtest.h>

namespace {

TEST(Format, AppendsAndAssigns) {
    std::wstring text = L"a";
    tqn::AppendFormat(text, L"%d-%ls", 7, L"x");
    EXPECT_EQ(text, L"a7-x");
    tqn::AssignFormat(text, L"(Build %d)", 7601);
    EXPECT_EQ(text, L"(Build 7601)");
}

TEST(Format, NullFormatLeavesTargetUnchanged) {
    std::wstring text = L"keep";
    tqn::AppendFormat(text, nullptr);
    tqn::AssignFormat(text, nullptr);
    EXPECT_EQ(text, L"keep");
}

TEST(Format, GrowsBeyondTheFirstBuffer) {
    // Longer than the first 256-character attempt: nothing may be cut.
    const std::wstring longText(1000, L'q');
    std::wstring text;
    tqn::AssignFormat(text, L"<%ls>", longText.c_str());
    EXPECT_EQ(text, L"<" + longText + L">");
}

TEST(Format, GrowthStopsAtTheCapAndKeepsTheResultCut) {
    // The buffer doubles up to 2^20 characters and no further: a format that
    // keeps failing must end. A longer result is the cut beginning of it.
    constexpr size_t kCap = size_t{1} << 20;
    const std::wstring longText(kCap + 1000, L'q');
    std::wstring text;
    tqn::AssignFormat(text, L"<%ls>", longText.c_str());
    EXPECT_EQ(text.size(), kCap);
    // Compared as a whole, not printed: a mismatch would print megabytes.
    EXPECT_TRUE(text == L"<" + longText.substr(0, kCap - 1));
}

TEST(Format, EmptyResultIsEmpty) {
    std::wstring text = L"old";
    tqn::AssignFormat(text, L"%ls", L"");
    EXPECT_EQ(text, L"");
}

}  // namespace
