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

TEST(Format, EmptyResultIsEmpty) {
    std::wstring text = L"old";
    tqn::AssignFormat(text, L"%ls", L"");
    EXPECT_EQ(text, L"");
}

}  // namespace
