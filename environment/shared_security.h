#pragma once
// Security attributes for the objects the product's processes share: the
// global block, its mutex and the script data block. Every account gets full
// access (null DACL); on major version 6 a low-integrity label with no write
// up lets low-integrity processes open them for writing too.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>

#include "environment/shared_security_choice.h"
#include "platform/scoped_resource.h"

namespace tqn {

// Where the attributes live: they point at the descriptor beside them, and the
// descriptor's label points into the converted label descriptor, so the
// storage must outlive every use of the attributes and cannot be moved.
struct SharedSecurityStorage {
    SharedSecurityStorage() = default;
    SharedSecurityStorage(const SharedSecurityStorage&) = delete;
    SharedSecurityStorage& operator=(const SharedSecurityStorage&) = delete;

    SECURITY_DESCRIPTOR descriptor{};
    SECURITY_ATTRIBUTES attributes{};
    ScopedLocalMemory labelSource;
};

// The version facts the choice rests on, from GetVersionExW.
struct WindowsVersionFacts {
    bool read = false;
    uint32_t platformId = 0;
    uint32_t major = 0;
};
WindowsVersionFacts ReadWindowsVersionFacts();

// Builds the attributes for this system; null means default security (not
// NT, the version unreadable, or a step of the build failed).
SECURITY_ATTRIBUTES* BuildSharedSecurityAttributes(SharedSecurityStorage& storage);

// The same for a given choice (tests exercise each Windows version this way).
SECURITY_ATTRIBUTES* BuildSharedSecurityAttributesFor(SharedSecurityStorage& storage,
                                                      SharedSecurity choice);

}  // namespace tqn
#endif
