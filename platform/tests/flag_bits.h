#pragma once
// The version flags as bits, so a whole expected set fits in one table cell.
#include <cstdint>
#include <iterator>

#include "platform/version_naming.h"

namespace tqn::test {

enum FlagBit : unsigned {
    kNt = 1 << 0,
    kNt5 = 1 << 1,
    kVista = 1 << 2,
    kWin7 = 1 << 3,
    kSrv2008 = 1 << 4,
    kSrv2008R2 = 1 << 5,
    kWin8 = 1 << 6,
    kSrv2012 = 1 << 7,
    kWin10 = 1 << 8,
};
constexpr unsigned kNt6 = kNt | kNt5 | kVista;

// A flag that is neither 0 nor 1 shows as an extra bit, so it never matches.
inline unsigned FlagBits(const OsFlags& f) {
    const int32_t values[] = {f.ntPlatform, f.nt50OrLater, f.vistaOrLater, f.windows7,
                              f.server2008, f.server2008R2, f.windows8, f.server2012Family,
                              f.windows10};
    unsigned bits = 0;
    for (unsigned i = 0; i < std::size(values); ++i) {
        if (values[i] == 1) bits |= 1u << i;
        if (values[i] != 0 && values[i] != 1) bits |= 1u << 31;
    }
    return bits;
}

}  // namespace tqn::test
