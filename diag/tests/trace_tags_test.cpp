// The tag table against the code that writes tags (natively, over the source
// tree): every tag the program writes has its row, every row is written.
#include "diag/trace_tags.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace tqn {
namespace {

TEST(TraceTagsTest, EveryTagWrittenHasARowAndEveryRowIsWritten) {
    namespace fs = std::filesystem;
    const std::regex spelledOutTag(R"(L"\{[0-9A-F]{8}-)"), bypass(R"(\bTraceW\b)"), written(R"(TraceTag::(\w+))");
    std::set<std::string> writtenNames;
    const fs::path root = TQN_SOURCE_DIR;
    // The program's own sources: not its tests, nor the kit's stand-ins for other programs.
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string(), path = fs::relative(it->path(), root).generic_string();
        if (it->is_directory() && (name == "tests" || name == "kit" || name == "build" || name.starts_with("."))) {
            it.disable_recursion_pending();
        }
        if ((!name.ends_with(".cpp") && !name.ends_with(".h")) || path == "diag/trace_tags.h") continue;
        std::ostringstream stream;
        stream << std::ifstream(it->path()).rdbuf();
        const std::string text = stream.str();
        EXPECT_FALSE(std::regex_search(text, spelledOutTag)) << path << " spells out a tag: give it a row";
        if (!path.starts_with("diag/trace")) {
            EXPECT_FALSE(std::regex_search(text, bypass)) << path << ": write tags with TraceEvent";
        }
        for (std::sregex_iterator m(text.begin(), text.end(), written); m != std::sregex_iterator(); ++m) {
            writtenNames.insert((*m)[1]);
        }
    }
    std::set<std::wstring> tags;
    for (const TraceTagRow& row : kTraceTagRows) {
        EXPECT_TRUE(tags.insert(row.tag).second) << row.name << ": a second row for its tag";
        EXPECT_TRUE(writtenNames.contains(row.name)) << row.name << ": a row no code writes";
    }
}

}  // namespace
}  // namespace tqn
