#pragma once
// The global shared block "Global\GlobalSpaceShareMemV2" and its mutex
// "GlobalSpaceMutex": opened (or created, zero-filled) before the entry point
// runs and again on demand by any user that finds it closed.
#ifdef _WIN32
#include <windows.h>

#include <span>
#include <string>

#include "environment/memory_buffer.h"
#include "environment/shared_block_layout.h"

namespace tqn {

// One named block with its named mutex. The process-wide instance is
// GlobalSharedBlock(); tests make their own under names of their own.
class SharedBlock {
public:
    SharedBlock(std::wstring blockName, std::wstring mutexName, size_t size);
    SharedBlock(const SharedBlock&) = delete;
    SharedBlock& operator=(const SharedBlock&) = delete;

    // S_OK when open (at once when it already was), E_FAIL when the block
    // could not be mapped; a failed open is retried by the next call. The
    // block is zero-filled only when this call found it missing.
    HRESULT Open();
    bool IsOpen() const { return open_; }
    // The block's bytes; empty while closed.
    std::span<uint8_t> Bytes() const { return open_ ? buffer_.Bytes() : std::span<uint8_t>(); }
    // The mutex, or null when it could not be made (accesses then go unguarded).
    HANDLE Mutex() const { return mutex_.Get(); }

private:
    std::wstring blockName_;
    std::wstring mutexName_;
    size_t size_;
    bool open_ = false;
    MemoryBufferExW buffer_;
    ScopedHandle mutex_;
};

// Holds the block's mutex for one field access: waits up to 3000 ms and goes
// ahead whatever the wait gave (time-out, abandonment); releases on leaving.
class SharedBlockLock {
public:
    explicit SharedBlockLock(HANDLE mutex);
    ~SharedBlockLock();
    SharedBlockLock(const SharedBlockLock&) = delete;
    SharedBlockLock& operator=(const SharedBlockLock&) = delete;

private:
    HANDLE mutex_;
};

// The process's global block.
SharedBlock& GlobalSharedBlock();
HRESULT OpenGlobalData();

// One text field of an open block under its mutex (the block is opened
// first). False when the block cannot be opened, or (writing) the text does
// not fit the field; text is left untouched on failure.
bool ReadSharedField(SharedBlock& block, BlockField field, std::wstring& text);
// A field holding encrypted hex text (the product folder, the trace path),
// read under the mutex and decrypted; empty when it is empty or does not decrypt.
std::wstring ReadEncryptedSharedField(SharedBlock& block, BlockField field);
bool WriteSharedField(SharedBlock& block, BlockField field, const std::wstring& text);

// Reads the product folder that other product processes keep (encrypted) in
// the block. Instances are short-lived locals.
class GlobalData {
public:
    GlobalData() : block_(GlobalSharedBlock()) {}
    explicit GlobalData(SharedBlock& block) : block_(block) {}
    virtual ~GlobalData() = default;

    // The decrypted product folder; empty when the block is not open, or the
    // field is empty or does not decrypt. Read once, then cached.
    std::wstring ReadProductFolder();

private:
    SharedBlock& block_;
    std::wstring productFolder_;
    std::wstring reserved_;  // kept for the layout other product builds share
};

}  // namespace tqn
#endif
