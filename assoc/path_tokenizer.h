#pragma once
// Cuts a key path into its names, and builds the prefixes an unlock walks.
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace tqn {

class PathTokenizer {
public:
    // Replaces the pieces with the text cut at every separator: n separators
    // give n+1 pieces, empty ones included; an empty text gives none. The
    // cursor goes back to the first piece. True when any piece was produced.
    bool Split(const std::wstring& text, wchar_t separator);

    // The piece under the cursor, which then moves on; false past the last.
    bool ReadCurrent(std::wstring& piece);

    size_t Count() const { return pieces_.size(); }

private:
    std::deque<std::wstring> pieces_;
    size_t cursor_ = 0;
};

// The keys from the outermost to the key itself: "P", "P\Q", "P\Q\R". A
// backslash goes between pieces only when the prefix is not empty.
std::vector<std::wstring> KeyPathPrefixes(const std::wstring& keyPath);

}  // namespace tqn
