#include "crypt/byte_buffer.h"

#include <cstdint>

#include <cstring>

bool ByteBuffer::Assign(const void* bytes, size_t count) {
    if (count == 0 || bytes == nullptr) return false;
    const auto* source = static_cast<const unsigned char*>(bytes);
    if (size() == count) {
        std::memmove(data(), source, count);
    } else {
        // The source may lie inside this buffer: copy before we clear it.
        std::vector<unsigned char> copy(source, source + count);
        swap(copy);
    }
    return true;
}

bool ByteBuffer::ResizeZeroed(size_t count) {
    if (!empty() && size() == count) {
        std::memset(data(), 0, count);
    } else {
        clear();
        insert(end(), count, 0);
    }
    return true;
}

unsigned char* ByteBuffer::Data() { return empty() ? nullptr : data(); }

const unsigned char* ByteBuffer::Data() const { return empty() ? nullptr : data(); }

std::string ByteBuffer::ToNarrowString() const {
    if (empty()) return std::string();
    const auto* first = data();
    const void* zero = std::memchr(first, 0, size());
    const size_t length = zero ? static_cast<size_t>(static_cast<const unsigned char*>(zero) - first) : size();
    return std::string(reinterpret_cast<const char*>(first), length);
}

std::wstring ByteBuffer::ToWideString() const {
    std::wstring text;
    if (size() <= 2) return text;
    const size_t units = size() / 2;
    text.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        // UTF-16LE code unit; a zero unit ends the text.
        const unsigned unit = static_cast<unsigned>((*this)[2 * i]) |
                              (static_cast<unsigned>((*this)[2 * i + 1]) << 8);
        if (unit == 0) break;
        text.push_back(static_cast<wchar_t>(unit));
    }
    return text;
}

void ByteBuffer::AssignWideString(const std::wstring& text) {
    clear();
    reserve((text.size() + 1) * 2);
    for (const wchar_t c : text) {
        const auto unit = static_cast<uint16_t>(c);
        push_back(static_cast<unsigned char>(unit & 0xFF));
        push_back(static_cast<unsigned char>(unit >> 8));
    }
    push_back(0);
    push_back(0);
}
