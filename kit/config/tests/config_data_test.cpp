// The configuration module's data file: exact round trips of awkward keys and
// values, files written by hand, the messages for malformed lines, the size
// limit, and the bounded copy into the launcher's 512-unit buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "kit/config/config_data.h"

namespace cfg {
namespace {

// Texts built unit by unit, so surrogates stay single UTF-16 units on every platform.
std::wstring Units(std::initializer_list<uint32_t> units) {
    std::wstring text;
    for (uint32_t unit : units) text.push_back(static_cast<wchar_t>(unit));
    return text;
}

bool Parse(const std::string& text, Store& store, std::wstring& error) {
    return ParseDataFile(text, L"data.cfg", store, error);
}

struct Pair {
    const char* what;
    std::wstring key;
    std::wstring value;
};

const std::vector<Pair> kAwkwardPairs = {
    {"a Windows path", L"productPath", L"C:\\Program Files\\Tarvolin\\"},
    {"escape look-alikes in plain text", L"C:\\new\\temp", L"\\n\\t\\u0041\\\\\\"},
    {"'=' in both", L"a=b", L"=x=y="},
    {"a key that looks like a comment", L"#hash", L"# not a comment"},
    {"blanks at the ends", L" padded\t", L"  two  "},
    {"only blanks", L"\t", L" "},
    {"quotes", L"\"quoted\"", L"\"a\" and \\\""},
    {"line breaks", L"multi\nline", L"one\ntwo\r\nthree\r"},
    {"other controls and a NUL", Units({'k', 0x01}), Units({'a', 0, 'b', 0x1F, 0x7F})},
    {"an empty value", L"empty", L""},
    {"non-ASCII", Units({'c', 'a', 'f', 0xE9}), Units({0xD55C, 0xAD6D, ' ', 0x65E5, ' ', 0xD83D, 0xDE00})},
    {"surrogates without partners", Units({0xDC00, 'x', 0xD800}), Units({'x', 0xDE00, 0xD83D})},
    {"the longest key", std::wstring(kMaxKeyLength, L'k'), std::wstring(5000, L'v')},
};

TEST(ConfigData, EachAwkwardPairRoundTripsExactly) {
    for (const Pair& pair : kAwkwardPairs) {
        const Store store = {{pair.key, pair.value}};
        std::string bytes;
        std::wstring error;
        ASSERT_TRUE(WriteDataFile(store, bytes, error)) << pair.what;
        Store read;
        EXPECT_TRUE(Parse(bytes, read, error)) << pair.what << ": " << bytes;
        EXPECT_EQ(read, store) << pair.what << ": " << bytes;
    }
}

TEST(ConfigData, AllPairsRoundTripInOneFile) {
    Store store;
    for (const Pair& pair : kAwkwardPairs) store[pair.key] = pair.value;
    std::string bytes;
    std::wstring error;
    ASSERT_TRUE(WriteDataFile(store, bytes, error));
    Store read = {{L"stale", L"replaced by the file"}};
    ASSERT_TRUE(Parse(bytes, read, error)) << bytes;
    EXPECT_EQ(read, store);
}

TEST(ConfigData, QuotesOnlyWhatPlainTextCannotHold) {
    struct Case {
        std::wstring key;
        std::wstring value;
        std::string line;
    };
    const std::vector<Case> cases = {
        {L"productPath", L"C:\\Tarvolin", "productPath=C:\\Tarvolin"},  // hand-editable as it stands
        {L"a=b", L" x", "\"a=b\"=\" x\""},
        {L"#k", L"say \"hi\"", "\"#k\"=say \"hi\""},  // inner quotes need nothing
        {L"k", L"a\\b\nc", "k=\"a\\\\b\\nc\""},
        {L"k", Units({0xD800, 0xE9}), "k=\"\\uD800\xC3\xA9\""},
    };
    for (const Case& c : cases) {
        std::string bytes;
        std::wstring error;
        ASSERT_TRUE(WriteDataFile({{c.key, c.value}}, bytes, error)) << c.line;
        ASSERT_EQ(bytes.front(), '#');  // a header comment, then the one line
        EXPECT_EQ(bytes.substr(bytes.find('\n') + 1), c.line + "\n");
    }
}

TEST(ConfigData, ReadsFilesWrittenByHand) {
    struct Case {
        const char* text;
        Store expected;
    };
    const std::vector<Case> cases = {
        {"\xEF\xBB\xBF# by hand\r\n\r\n  productPath = C:\\Program Files\\Tarvolin  \r\n\t# indented\n",
         {{L"productPath", L"C:\\Program Files\\Tarvolin"}}},
        {"url = http://x/?a=1#top", {{L"url", L"http://x/?a=1#top"}}},  // no line feed at the end
        {"\"my key\"   =   \"  v  \"   \n", {{L"my key", L"  v  "}}},
        {"\"a=#b\"=1\nk=\"\\u00e9\\t\\\"\"\n", {{L"a=#b", L"1"}, {L"k", Units({0xE9, '\t', '"'})}}},
        {"k=a\tb\n", {{L"k", L"a\tb"}}},  // a raw tab inside plain text
        {"k=\xF0\x9F\x98\x80\n", {{L"k", Units({0xD83D, 0xDE00})}}},
        {"", {}},
        {"# only a comment\n\n", {}},
    };
    for (const Case& c : cases) {
        Store read;
        std::wstring error;
        EXPECT_TRUE(Parse(c.text, read, error)) << c.text;
        EXPECT_EQ(read, c.expected) << c.text;
    }
}

TEST(ConfigData, MalformedLinesAreNamedAndChangeNothing) {
    struct Case {
        std::string text;
        std::wstring error;
    };
    const std::vector<Case> cases = {
        {"a=1\njust words\n", L"data.cfg line 2: expected key=value"},
        {"\"k\"\n", L"data.cfg line 1: expected key=value"},
        {" = x\n", L"data.cfg line 1: no key before '='"},
        {"\"\" = x\n", L"data.cfg line 1: no key before '='"},
        {"\"k = x\n", L"data.cfg line 1: the quoted key has no closing '\"'"},
        {"k = \"x\\\"\n", L"data.cfg line 1: the quoted value has no closing '\"'"},  // the quote is escaped
        {"\"k\" x = 1\n", L"data.cfg line 1: text after the quoted key (expected '=')"},
        {"k = \"x\" y\n", L"data.cfg line 1: text after the quoted value"},
        {"k = \"\\q\"\n", L"data.cfg line 1: unknown escape '\\q' in the quoted value"},
        {"\"\\a\" = 1\n", L"data.cfg line 1: unknown escape '\\a' in the quoted key"},
        {"k = \"\\u12G4\"\n", L"data.cfg line 1: \\u in the quoted value needs four hex digits"},
        {"k = \"\\u12\"\n", L"data.cfg line 1: \\u in the quoted value needs four hex digits"},
        {"a=1\nb=2\n# c\na=3\n", L"data.cfg line 4: key a is already set on line 1"},
        {"\"a\"=1\na=2\n", L"data.cfg line 2: key a is already set on line 1"},  // quoted or not, one key
        {std::string(kMaxKeyLength + 1, 'k') + "=v\n", L"data.cfg line 1: the key is longer than 511 characters"},
        {"k=a\x01" "b\n", L"data.cfg line 1: control character U+0001 (quote the text and write \\u0001)"},
        {"k=a\rb\n", L"data.cfg line 1: control character U+000D (quote the text and write \\u000D)"},
        {"k=\xC3\x28\n", L"data.cfg line 1: the line is not valid UTF-8"},
        {"k=\xED\xA0\x80\n", L"data.cfg line 1: the line is not valid UTF-8"},  // an encoded surrogate
        {"k=\xC0\xAF\n", L"data.cfg line 1: the line is not valid UTF-8"},      // overlong
    };
    for (const Case& c : cases) {
        Store store = {{L"old", L"1"}};
        std::wstring error;
        EXPECT_FALSE(Parse(c.text, store, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_EQ(store, (Store{{L"old", L"1"}})) << c.text;
    }
}

TEST(ConfigData, NeitherReadsNorWritesMoreThanOneMebibyte) {
    const std::string largest = "k=" + std::string(kLargestFile - 3, 'v') + "\n";
    Store store;
    std::wstring error;
    ASSERT_TRUE(Parse(largest, store, error));
    EXPECT_EQ(store[L"k"].size(), kLargestFile - 3);
    EXPECT_FALSE(Parse(largest + "#", store, error));
    EXPECT_EQ(error, L"data.cfg is larger than 1 MiB (1048577 bytes)");

    // The writer stops where the reader would.
    std::string bytes;
    ASSERT_TRUE(WriteDataFile({{L"k", L""}}, bytes, error));
    const size_t room = kLargestFile - bytes.size();
    EXPECT_TRUE(WriteDataFile({{L"k", std::wstring(room, L'v')}}, bytes, error));
    EXPECT_EQ(bytes.size(), kLargestFile);
    EXPECT_FALSE(WriteDataFile({{L"k", std::wstring(room + 1, L'v')}}, bytes, error));
    EXPECT_EQ(error, L"the data file would be larger than 1 MiB");
    EXPECT_TRUE(bytes.empty());
}

TEST(ConfigData, WriterRefusesWhatTheReaderWouldRefuse) {
    std::vector<std::pair<Store, std::wstring>> cases = {
        {{{L"", L"v"}}, L"a key must have 1 to 511 characters (got 0)"},
        {{{std::wstring(kMaxKeyLength + 1, L'k'), L"v"}}, L"a key must have 1 to 511 characters (got 512)"},
    };
    if constexpr (sizeof(wchar_t) > 2) {  // a code point where one UTF-16 unit belongs
        cases.push_back({{{L"k", Units({0x1F600})}}, L"key k: a character above U+FFFF is not one UTF-16 unit"});
    }
    for (const auto& [store, message] : cases) {
        std::string bytes = "old";
        std::wstring error;
        EXPECT_FALSE(WriteDataFile(store, bytes, error)) << message;
        EXPECT_EQ(error, message);
        EXPECT_TRUE(bytes.empty());
    }
}

TEST(ConfigData, CopyIntoTheLaunchersBufferStaysWithinIt) {
    constexpr size_t kCapacity = 512;
    constexpr wchar_t kUntouched = static_cast<wchar_t>(0xAAAA);
    struct Case {
        size_t length;
        bool terminateLongValues;
        size_t copied;
        bool terminated;
    };
    const std::vector<Case> cases = {
        {0, true, 0, true},     {5, true, 5, true},       {511, true, 511, true},
        {512, true, 511, true},  // cut to fit the terminator
        {700, true, 511, true},
        {511, false, 511, true},  // the misbehaving build still ends short values
        {512, false, 512, false}, {700, false, 512, false},
    };
    for (const Case& c : cases) {
        std::vector<wchar_t> out(kCapacity + 1, kUntouched);  // one more unit to see overruns
        CopyValueOut(std::wstring(c.length, L'v'), out.data(), kCapacity, c.terminateLongValues);
        const auto prefix = static_cast<size_t>(std::find_if(out.begin(), out.end(), [](wchar_t u) {
                                                    return u != L'v';
                                                }) - out.begin());
        EXPECT_EQ(prefix, c.copied) << c.length << " " << c.terminateLongValues;
        const size_t next = c.terminated ? c.copied + 1 : c.copied;
        if (c.terminated) {
            EXPECT_EQ(out[c.copied], L'\0') << c.length;
        }
        for (size_t i = next; i < out.size(); ++i) ASSERT_EQ(out[i], kUntouched) << c.length << " at " << i;
    }
}

}  // namespace
}  // namespace cfg
