#include "assoc/path_tokenizer.h"

namespace tqn {

bool PathTokenizer::Split(const std::wstring& text, wchar_t separator) {
    pieces_.clear();
    cursor_ = 0;
    if (text.empty()) return false;
    size_t start = 0;
    for (;;) {
        const size_t found = text.find(separator, start);
        if (found == std::wstring::npos) {
            pieces_.push_back(text.substr(start));
            break;
        }
        pieces_.push_back(text.substr(start, found - start));
        start = found + 1;
    }
    return true;
}

bool PathTokenizer::ReadCurrent(std::wstring& piece) {
    if (cursor_ >= pieces_.size()) return false;
    piece = pieces_[cursor_++];
    return true;
}

std::vector<std::wstring> KeyPathPrefixes(const std::wstring& keyPath) {
    std::vector<std::wstring> prefixes;
    PathTokenizer tokenizer;
    if (!tokenizer.Split(keyPath, L'\\')) return prefixes;
    prefixes.reserve(tokenizer.Count());
    std::wstring prefix;
    std::wstring piece;
    while (tokenizer.ReadCurrent(piece)) {
        if (!prefix.empty()) prefix += L'\\';
        prefix += piece;
        prefixes.push_back(prefix);
    }
    return prefixes;
}

}  // namespace tqn
