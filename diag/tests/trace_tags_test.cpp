// The tag table against the code that writes tags (natively, over the
// source tree): every tag the program writes has its row, and every row is
// written somewhere.
#include "diag/trace_tags.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace tqn {
namespace {

namespace fs = std::filesystem;

constexpr char kTable[] = "diag/trace_tags.h";

// The program's own sources, by path from the top folder; tests and the
// kit's stand-ins for other programs are not the program.
std::map<std::string, std::string> ProgramSources() {
    std::map<std::string, std::string> sources;
    const fs::path root = TQN_SOURCE_DIR;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string();
        if (it->is_directory() && (name == "tests" || name == "kit" || name == "build" || name.starts_with("."))) {
            it.disable_recursion_pending();
        } else if (name.ends_with(".cpp") || name.ends_with(".h")) {
            std::ostringstream text;
            text << std::ifstream(it->path()).rdbuf();
            sources[fs::relative(it->path(), root).generic_string()] = text.str();
        }
    }
    return sources;
}

// A wide literal that starts with a braced upper-case GUID: a tag spelled out.
bool SpellsOutATag(const std::string& text) {
    for (size_t at = text.find("L\"{"); at != std::string::npos; at = text.find("L\"{", at + 1)) {
        size_t digits = 0;
        while (digits < 8 && std::isxdigit(static_cast<unsigned char>(text[at + 3 + digits])) &&
               !std::islower(static_cast<unsigned char>(text[at + 3 + digits]))) {
            ++digits;
        }
        if (digits == 8 && text[at + 11] == '-') return true;
    }
    return false;
}

bool Names(const std::string& text, const std::string& name) {
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
        const char next = at + name.size() < text.size() ? text[at + name.size()] : ' ';
        if (!std::isalnum(static_cast<unsigned char>(next)) && next != '_') return true;
    }
    return false;
}

TEST(TraceTagsTest, EveryTagWrittenHasARowAndEveryRowIsWritten) {
    const auto sources = ProgramSources();
    ASSERT_TRUE(sources.contains(kTable));
    for (const auto& [path, text] : sources) {
        if (path == kTable) continue;
        EXPECT_FALSE(SpellsOutATag(text)) << path << " spells out a tag: give it a row in " << kTable;
        if (!path.starts_with("diag/trace")) {
            EXPECT_FALSE(Names(text, "TraceW")) << path << ": write tags with TraceEvent";
        }
    }
    std::set<std::wstring> tags;
    for (const TraceTagRow& row : kTraceTagRows) {
        EXPECT_TRUE(tags.insert(row.tag).second) << row.name << ": a second row for its tag";
        EXPECT_EQ(FindTraceTag(row.tag), &row);
        bool written = false;
        for (const auto& [path, text] : sources) {
            written = written || (path != kTable && Names(text, std::string("TraceTag::") + row.name));
        }
        EXPECT_TRUE(written) << row.name << ": a row no code writes";
    }
}

}  // namespace
}  // namespace tqn
