#pragma once
// A skin file (".skn"): the texts of one language as UTF-8 lines
// "IDS_NAME = text". Texts are kept exactly as written between the blanks
// around them: "\n" stays two characters, the launcher turns it into a line
// break when it shows the text. The format is described in kit/README.md.
// Wide strings hold one UTF-16 unit per element on every platform.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace skn {

// The largest skin file the module reads.
inline constexpr size_t kLargestSkin = 1 << 20;

struct SkinText {
    std::wstring id;
    std::wstring text;       // empty: the text is missing (an untranslated string)
    bool withdrawn = false;  // written as "-IDS_NAME = ...": published, but skipped by readers
    size_t line = 0;
};

// Every text of the file in file order, repeats included.
struct Skin {
    std::vector<SkinText> texts;
};

// Parses the file's bytes (an optional UTF-8 byte-order mark, LF or CRLF).
// On failure returns false, leaves skin as it was and sets error to one
// message naming the file and line ("skin_en.skn line 4: ...").
bool ParseSkin(std::string_view bytes, std::wstring_view fileName, Skin& skin, std::wstring& error);

}  // namespace skn
