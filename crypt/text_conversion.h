#pragma once
// Conversions between wide text and its UTF-8 and ANSI forms. The Windows
// build uses the system's conversions; the native build portable ones (ANSI
// taken as Latin-1 there, '?' for what it cannot hold). Every conversion reads
// its input up to the first NUL, as the system calls do with a terminated text.
#include <string>

#include "crypt/byte_buffer.h"

// UTF-8 bytes of text (no terminator); empty text or a failed conversion
// leaves the buffer empty.
void WideToUtf8(const std::wstring& text, ByteBuffer& output);
// Replaces output unless the conversion yields no characters.
void Utf8ToWide(const std::string& text, std::wstring& output);
// Replaces output with the ANSI form (system default replacement characters).
void WideToAnsi(const std::wstring& text, std::string& output);
// Clears output; false for empty text (or text whose ANSI form is empty);
// else the MD5 of the ANSI form as 32 upper-case hex digits.
bool Md5HexOfAnsi(const std::wstring& text, std::wstring& output);
