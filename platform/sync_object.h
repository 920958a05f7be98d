#pragma once
// A critical section that knows whether it is usable: enter and leave act only
// while the validity marker holds, so a lock used before construction or after
// destruction (static initialisation order) does nothing instead of crashing.
#ifdef _WIN32
#include <windows.h>

namespace tqn {

class SyncObjectEx {
public:
    static constexpr unsigned long kValidMarker = 0x01010101;

    SyncObjectEx() {
        ::InitializeCriticalSection(&section_);
        marker_ = kValidMarker;
    }
    ~SyncObjectEx() {
        marker_ = 0;
        ::DeleteCriticalSection(&section_);
    }
    SyncObjectEx(const SyncObjectEx&) = delete;
    SyncObjectEx& operator=(const SyncObjectEx&) = delete;

    bool Enter() {
        if (marker_ != kValidMarker) return false;
        ::EnterCriticalSection(&section_);
        return true;
    }
    void Leave() {
        if (marker_ == kValidMarker) ::LeaveCriticalSection(&section_);
    }

    // Enters on construction and, if it entered, leaves on destruction.
    class Guard {
    public:
        explicit Guard(SyncObjectEx& sync) : sync_(sync), entered_(sync.Enter()) {}
        ~Guard() {
            if (entered_) sync_.Leave();
        }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        SyncObjectEx& sync_;
        bool entered_;
    };

private:
    CRITICAL_SECTION section_{};
    volatile unsigned long marker_ = 0;
};

}  // namespace tqn
#endif
