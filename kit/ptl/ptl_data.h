#pragma once
// The path tool's data: "ptl.dat" parsed into named path variables, with
// references between them resolved. The format is described in kit/README.md.
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace ptl {

// Looks up an environment variable for %ENV:NAME% references.
using EnvironmentLookup = std::function<bool(const std::wstring& name, std::wstring& value)>;

// The variable every data file may refer to: the folder the tool was initialised with.
inline constexpr const wchar_t* kProductFolderVariable = L"PRODUCT_FOLDER";

// The resolver recurses once per reference: a chain of references is at most
// this long, so that a long chain cannot exhaust the caller's stack.
inline constexpr size_t kDeepestReference = 32;
// The resolved values hold at most this many characters together: a few lines
// that each double the one before would otherwise exhaust memory.
inline constexpr size_t kLargestResolved = 1 << 20;

class PathTable {
public:
    // Parses the file's bytes (UTF-8, optional BOM) and resolves every value.
    // On failure returns false, leaves the table as it was and sets error to
    // a message naming the file and line ("ptl.dat line 4: ...").
    bool Load(std::string_view bytes, const std::wstring& fileName, const std::wstring& productFolder,
              const EnvironmentLookup& environment, std::wstring& error);

    // The resolved value of a variable (names are matched exactly);
    // PRODUCT_FOLDER included.
    bool Find(const std::wstring& name, std::wstring& value) const;

    const std::map<std::wstring, std::wstring>& Values() const { return values_; }
    void Clear() { values_.clear(); }

private:
    std::map<std::wstring, std::wstring> values_;
};

// Whether a path is absolute: "X:\..." or "\\server\...".
bool IsAbsolutePath(const std::wstring& path);
// leaf when it is absolute or base is empty; otherwise base and leaf with
// exactly one backslash between them.
std::wstring JoinPath(const std::wstring& base, const std::wstring& leaf);
// The part after the last backslash or slash.
std::wstring FileNameOf(const std::wstring& path);
// Copies text and its terminator into out; false (out emptied when there is
// room for that) when it does not fit in capacity wide characters.
bool CopyOut(const std::wstring& text, wchar_t* out, size_t capacity);

}  // namespace ptl
