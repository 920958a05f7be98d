#pragma once
// The kit modules' data files ("ptl.dat", "script.scd", "data.cfg") read
// whole, with a size limit, and their state guarded by one lock.
#include <windows.h>

#include <string>

namespace tqn::kit {

enum class SmallFileRead { Read, Missing, Failed };

// Reads the whole file when it has at most `largest` bytes. Missing: the file
// or its folder does not exist. Failed: error names the path and the reason
// (a file too large says so with its size). Shared for deletion too, so that
// another process's save can replace the file meanwhile.
SmallFileRead ReadSmallFile(const std::wstring& path, size_t largest, std::string& bytes, std::wstring& error);

// Holds an SRW lock exclusively for a scope.
class SrwExclusive {
public:
    explicit SrwExclusive(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ~SrwExclusive() { ::ReleaseSRWLockExclusive(&lock_); }
    SrwExclusive(const SrwExclusive&) = delete;
    SrwExclusive& operator=(const SrwExclusive&) = delete;

private:
    SRWLOCK& lock_;
};

}  // namespace tqn::kit
