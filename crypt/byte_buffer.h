#pragma once
// The byte array in which the cipher tool, the registry tool and the text
// conversions take and give their data.
#include <cstddef>
#include <string>
#include <vector>

class ByteBuffer : public std::vector<unsigned char> {
public:
    using std::vector<unsigned char>::vector;

    // count 0: false, unchanged. Otherwise the buffer becomes a copy of the bytes.
    bool Assign(const void* bytes, size_t count);
    // The buffer becomes count zero bytes.
    bool ResizeZeroed(size_t count);
    // The first byte, or null when empty.
    unsigned char* Data();
    const unsigned char* Data() const;
    // The bytes up to the first zero byte (all of them when there is none).
    std::string ToNarrowString() const;
    // The bytes as UTF-16LE up to the first NUL unit at an even offset; a
    // buffer of 2 bytes or fewer gives an empty string.
    std::wstring ToWideString() const;
    // The inverse: the buffer becomes the text as UTF-16LE (one unit per
    // element, whatever wchar_t's width) and a NUL unit.
    void AssignWideString(const std::wstring& text);
};
