#pragma once
// The configuration module's data file ("data.cfg"): a flat store of named
// texts as UTF-8 lines "key=value". Plain texts stand as they are (Windows
// paths need no escaping); a key or value in double quotes takes escapes, so
// any text comes back exactly as it was stored. The format is described in
// kit/README.md. Wide strings hold one UTF-16 unit per element on every
// platform.
#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace cfg {

using Store = std::map<std::wstring, std::wstring>;

// Keys must fit the launcher's 512-unit key buffer with its terminator.
inline constexpr size_t kMaxKeyLength = 511;
// Neither read nor written beyond this many bytes.
inline constexpr size_t kLargestFile = 1 << 20;

// Parses the file's bytes (an optional UTF-8 byte-order mark, LF or CRLF).
// On failure returns false, leaves store as it was and sets error to one
// message naming the file and line ("data.cfg line 4: ...").
bool ParseDataFile(std::string_view bytes, const std::wstring& fileName, Store& store, std::wstring& error);

// The file's text for store, which ParseDataFile reads back to the same store.
// False (bytes emptied) when a key is empty or longer than kMaxKeyLength, a
// unit does not fit 16 bits, or the text would exceed kLargestFile.
bool WriteDataFile(const Store& store, std::string& bytes, std::wstring& error);

// Puts value into out (capacity units, at least 1): at most capacity - 1
// units and a terminator. With terminateLongValues false a value of capacity
// units or more fills all of out with no terminator, as a misbehaving module
// would.
void CopyValueOut(const std::wstring& value, wchar_t* out, size_t capacity, bool terminateLongValues = true);

}  // namespace cfg
