#pragma once
// The program's memory buffer over a named file mapping: the view of a
// paging-file-backed block that other processes open by the same name.
#ifdef _WIN32
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <span>

#include "environment/shared_security.h"
#include "platform/scoped_resource.h"

namespace tqn {

class MemoryBufferExW {
public:
    MemoryBufferExW() = default;
    ~MemoryBufferExW() { Release(); }
    MemoryBufferExW(const MemoryBufferExW&) = delete;
    MemoryBufferExW& operator=(const MemoryBufferExW&) = delete;

    // Opens the mapping by name, or creates it (size bytes, shared security)
    // when it does not exist, and maps size bytes of it. zeroFill clears the
    // view. With a view already mapped, or a null name, only says whether a
    // view is mapped. False when size is 0 or nothing could be mapped (for
    // instance an existing mapping smaller than size).
    bool MapShared(size_t size, bool zeroFill, const wchar_t* name);

    // Maps size bytes, read-only, of a mapping the caller has opened (with
    // read access) and hands over; never creates one. With a view already
    // mapped only says so (the handle is closed).
    bool MapOpened(ScopedHandle mapping, size_t size);

    // Unmaps the view and closes the mapping; the buffer is empty afterwards.
    void Release();

    bool Mapped() const { return view_.Valid(); }
    void* Data() const { return view_.Get(); }
    size_t Size() const { return size_; }
    std::span<uint8_t> Bytes() const {
        return Mapped() ? std::span<uint8_t>(static_cast<uint8_t*>(view_.Get()), size_)
                        : std::span<uint8_t>();
    }

private:
    ScopedHandle mapping_;
    ScopedView view_;
    size_t size_ = 0;
    SharedSecurityStorage security_;  // for the mapping this buffer creates
};

}  // namespace tqn
#endif
