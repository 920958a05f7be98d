#pragma once
// The global shared block as the launcher sees it: its name, size, the two
// text fields it uses, and bounds-checked access to those fields. Other
// processes write the block (its DACL is null), so nothing read from it is
// trusted: a field is read only within its own bytes and the view's.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tqn {

inline constexpr const wchar_t* kGlobalBlockName = L"Global\\GlobalSpaceShareMemV2";
inline constexpr const wchar_t* kGlobalMutexName = L"GlobalSpaceMutex";
inline constexpr size_t kGlobalBlockSize = 7832;
inline constexpr uint32_t kGlobalMutexWaitMs = 3000;

// A text field of the block: UTF-16LE, NUL-terminated when shorter than the field.
struct BlockField {
    size_t offset;
    size_t bytes;
};

// The product folder, encrypted hex text (written by other product processes).
inline constexpr BlockField kProductFolderField{12, 2048};
// The trace file path, encrypted hex text.
inline constexpr BlockField kTracePathField{2060, 1024};

// The field's text up to its first NUL unit, never beyond the field or the
// view: a field without a terminator gives the units that fit in it, a field
// that lies (partly) outside the view gives what lies inside (an odd last byte
// is ignored).
std::wstring ReadBlockText(std::span<const uint8_t> view, BlockField field);

// A field that holds encrypted hex text (the product folder, the trace path):
// read as ReadBlockText does, then decrypted. Empty when the field is empty or
// its text does not decrypt.
std::wstring ReadEncryptedBlockText(std::span<const uint8_t> view, BlockField field);

// Writes text and a terminator into the field and zeroes the rest of it.
// False, with the view untouched, when the field lies outside the view or the
// text and its terminator do not fit, or text holds a value that is not one
// UTF-16 unit.
bool WriteBlockText(std::span<uint8_t> view, BlockField field, const std::wstring& text);

}  // namespace tqn
