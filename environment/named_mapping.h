#pragma once
// What an existing named mapping claims and how large it really is, learnt
// before a view of the claimed size is mapped: blocks that other modules
// write state their own size in their first eight bytes.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <string>

namespace tqn {

// The first eight bytes (little-endian) of the mapping and the size of the
// object (the region of a view of all of it). False when it cannot be opened
// for reading or is smaller than eight bytes.
bool ReadMappingHeader(const std::wstring& name, uint64_t& firstWord, uint64_t& objectSize);
// The same for a mapping already open with read access: what is read is then
// the very object that is mapped afterwards through the same handle. (Not an
// overload: a wchar_t* name would convert to HANDLE before std::wstring.)
bool ReadOpenMappingHeader(HANDLE mapping, uint64_t& firstWord, uint64_t& objectSize);

}  // namespace tqn
#endif
