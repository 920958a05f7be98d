#include "environment/shared_security.h"

#include <sddl.h>

namespace tqn {

WindowsVersionFacts ReadWindowsVersionFacts() {
    WindowsVersionFacts facts;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)  // the reported version is what the choice is about
#endif
    if (!::GetVersionExW(&info)) return facts;
    facts.read = true;
    facts.platformId = info.dwPlatformId;
    facts.major = info.dwMajorVersion;
    return facts;
}

SECURITY_ATTRIBUTES* BuildSharedSecurityAttributes(SharedSecurityStorage& storage) {
    const WindowsVersionFacts facts = ReadWindowsVersionFacts();
    return BuildSharedSecurityAttributesFor(
        storage, ChooseSharedSecurity(facts.read, facts.platformId, facts.major));
}

SECURITY_ATTRIBUTES* BuildSharedSecurityAttributesFor(SharedSecurityStorage& storage,
                                                      SharedSecurity choice) {
    if (choice == SharedSecurity::Default) return nullptr;

    storage.attributes = SECURITY_ATTRIBUTES{};
    storage.attributes.nLength = sizeof(SECURITY_ATTRIBUTES);
    storage.attributes.bInheritHandle = FALSE;
    if (!::InitializeSecurityDescriptor(&storage.descriptor, SECURITY_DESCRIPTOR_REVISION)) {
        return nullptr;
    }
    if (!::SetSecurityDescriptorDacl(&storage.descriptor, TRUE, nullptr, FALSE)) return nullptr;

    if (choice == SharedSecurity::NullDaclLowLabel) {
        ScopedLocalMemory converted;
        PSECURITY_DESCRIPTOR labelDescriptor = nullptr;
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                L"S:(ML;;NW;;;LW)", SDDL_REVISION_1, &labelDescriptor, nullptr)) {
            return nullptr;
        }
        converted.Reset(labelDescriptor);
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL sacl = nullptr;
        if (!::GetSecurityDescriptorSacl(labelDescriptor, &present, &sacl, &defaulted)) return nullptr;
        if (!::SetSecurityDescriptorSacl(&storage.descriptor, TRUE, sacl, FALSE)) return nullptr;
        // The installed SACL points into the converted descriptor: keep it as
        // long as the storage.
        storage.labelSource = std::move(converted);
    }

    storage.attributes.lpSecurityDescriptor = &storage.descriptor;
    return &storage.attributes;
}

}  // namespace tqn
