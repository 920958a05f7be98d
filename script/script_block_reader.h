#pragma once
// The script data block as the launcher reads it. The script module writes
// the block; the launcher treats every count, offset and length in it as
// foreign: each is checked against the bytes it was given before it is
// followed, so a hostile block can only make a lookup fail.
//
// Layout (little-endian, 64-bit fields): total size, section count N, N
// records of (entry count, section-name hash, offset of the first entry),
// then each section's entries back to back: (name hash, value length L,
// L bytes of SEED-enciphered UTF-16LE text).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tqn {

inline constexpr size_t kScriptBlockHeaderSize = 16;

// The block size a header claims; 0 when fewer than 8 bytes are given.
uint64_t ClaimedScriptBlockSize(std::span<const uint8_t> header);

// Whether a claimed total size fits an object of objectSize bytes and holds
// at least the header.
bool ScriptBlockSizeAcceptable(uint64_t claimedSize, uint64_t objectSize);

// Finds the first entry with nameHash in the first section with sectionHash.
// True with cipher set to the entry's L bytes (empty for L = 0) when found.
bool FindScriptBlockEntry(std::span<const uint8_t> block, uint32_t sectionHash, uint32_t nameHash,
                          std::span<const uint8_t>& cipher);

// The value of a setting: found, deciphered and read as UTF-16 text up to its
// first NUL. An entry of length 0 gives true and an empty value. False (value
// untouched) when not found or when the bytes do not decipher.
bool LookupBlockValue(std::span<const uint8_t> block, const std::wstring& section,
                      const std::wstring& name, std::wstring& value);

// "TQScriptDataMap_<process id>", the per-process block's name.
std::wstring ScriptBlockName(unsigned long processId);

// A setting's text read as an unsigned 32-bit decimal number, as wcstoul
// does with 32-bit longs: leading white space and a sign are taken, reading
// stops at the first non-digit, overflow gives 0xFFFFFFFF.
uint32_t SettingNumber(const std::wstring& text);

}  // namespace tqn
