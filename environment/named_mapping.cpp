#include "environment/named_mapping.h"

#include <windows.h>

#include "platform/scoped_resource.h"

namespace tqn {

bool ReadMappingHeader(const std::wstring& name, uint64_t& firstWord, uint64_t& objectSize) {
    ScopedHandle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str()));
    return mapping && ReadOpenMappingHeader(mapping.Get(), firstWord, objectSize);
}

bool ReadOpenMappingHeader(HANDLE mapping, uint64_t& firstWord, uint64_t& objectSize) {
    ScopedView view(::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    if (!view) return false;
    MEMORY_BASIC_INFORMATION region{};
    if (::VirtualQuery(view.Get(), &region, sizeof region) != sizeof region || region.RegionSize < 8) return false;
    const auto* bytes = static_cast<const uint8_t*>(view.Get());
    uint64_t word = 0;
    for (int i = 7; i >= 0; --i) word = (word << 8) | bytes[i];
    firstWord = word;
    objectSize = region.RegionSize;
    return true;
}

}  // namespace tqn
