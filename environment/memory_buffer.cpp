#include "environment/memory_buffer.h"

#include <cstring>

namespace tqn {

bool MemoryBufferExW::MapShared(size_t size, bool zeroFill, const wchar_t* name) {
    if (size == 0) return false;
    if (name == nullptr || Mapped()) return Mapped();

    ScopedHandle mapping(::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name));
    if (!mapping) {
        const auto size64 = static_cast<unsigned long long>(size);
        mapping.Reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, BuildSharedSecurityAttributes(security_),
                                           PAGE_READWRITE, static_cast<DWORD>(size64 >> 32),
                                           static_cast<DWORD>(size64 & 0xFFFFFFFFu), name));
    }
    if (!mapping) return false;

    ScopedView view(::MapViewOfFile(mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, size));
    if (!view) return false;

    mapping_ = std::move(mapping);
    view_ = std::move(view);
    size_ = size;
    if (zeroFill) std::memset(view_.Get(), 0, size_);
    return true;
}

bool MemoryBufferExW::MapOpened(ScopedHandle mapping, size_t size) {
    if (Mapped()) return true;
    if (size == 0 || !mapping) return false;
    ScopedView view(::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, size));
    if (!view) return false;
    mapping_ = std::move(mapping);
    view_ = std::move(view);
    size_ = size;
    return true;
}

void MemoryBufferExW::Release() {
    view_.Reset();
    mapping_.Reset();
    size_ = 0;
}

}  // namespace tqn
