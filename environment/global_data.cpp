#include "environment/global_data.h"

namespace tqn {

SharedBlock::SharedBlock(std::wstring blockName, std::wstring mutexName, size_t size)
    : blockName_(std::move(blockName)), mutexName_(std::move(mutexName)), size_(size) {}

HRESULT SharedBlock::Open() {
    if (open_) return S_OK;

    // Only the process that finds no block clears it; an existing block keeps
    // what the other processes wrote.
    bool existed = false;
    {
        ScopedHandle probe(::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, blockName_.c_str()));
        existed = probe.Valid();
    }
    if (!buffer_.MapShared(size_, !existed, blockName_.c_str())) return E_FAIL;

    if (!mutex_) {
        SharedSecurityStorage security;
        mutex_.Reset(::CreateMutexW(BuildSharedSecurityAttributes(security), FALSE, mutexName_.c_str()));
    }
    open_ = true;
    return S_OK;
}

SharedBlockLock::SharedBlockLock(HANDLE mutex) : mutex_(mutex) {
    if (mutex_ != nullptr && mutex_ != INVALID_HANDLE_VALUE) {
        ::WaitForSingleObject(mutex_, kGlobalMutexWaitMs);
    }
}

SharedBlockLock::~SharedBlockLock() {
    if (mutex_ != nullptr && mutex_ != INVALID_HANDLE_VALUE) ::ReleaseMutex(mutex_);
}

SharedBlock& GlobalSharedBlock() {
    static SharedBlock block(kGlobalBlockName, kGlobalMutexName, kGlobalBlockSize);
    return block;
}

HRESULT OpenGlobalData() { return GlobalSharedBlock().Open(); }

namespace {
// The block is opened before the entry point runs, as every product process does.
[[maybe_unused]] const bool openedBeforeEntry = (OpenGlobalData(), true);
}  // namespace

bool ReadSharedField(SharedBlock& block, BlockField field, std::wstring& text) {
    if (FAILED(block.Open())) return false;
    SharedBlockLock lock(block.Mutex());
    text = ReadBlockText(block.Bytes(), field);
    return true;
}

bool WriteSharedField(SharedBlock& block, BlockField field, const std::wstring& text) {
    if (FAILED(block.Open())) return false;
    SharedBlockLock lock(block.Mutex());
    return WriteBlockText(block.Bytes(), field, text);
}

std::wstring ReadEncryptedSharedField(SharedBlock& block, BlockField field) {
    if (FAILED(block.Open())) return std::wstring();
    SharedBlockLock lock(block.Mutex());
    return ReadEncryptedBlockText(block.Bytes(), field);
}

std::wstring GlobalData::ReadProductFolder() {
    if (productFolder_.empty()) productFolder_ = ReadEncryptedSharedField(block_, kProductFolderField);
    return productFolder_;
}

}  // namespace tqn
