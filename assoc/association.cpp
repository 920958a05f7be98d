#include "assoc/association.h"

#include "assoc/association_plan.h"
#include "assoc/registry_tool.h"
#include "platform/process_settings.h"
#include "platform/os_info.h"

namespace tqn {

bool RegistryAssociationReader::KeyExists(const std::wstring& rootName, const std::wstring& keyPath) {
    return tqn::KeyExists(isNt_, rootName, keyPath);
}

bool RegistryAssociationReader::ValueEquals(const std::wstring& rootName, const std::wstring& keyPath,
                                            const std::wstring& valueName,
                                            const std::wstring& expected) {
    return tqn::ValueEquals(isNt_, rootName, keyPath, valueName, expected);
}

bool CheckExecutableAssociation(const std::wstring& extension, AssociationReader& reader) {
    // Nothing to guard means nothing to elevate for.
    if (!IsGuardedExtension(extension)) return true;
    bool intact = true;
    for (const AssociationCondition& condition : ExpectedRegistration(extension)) {
        const bool holds =
            condition.keyOnly
                ? reader.KeyExists(kClassesRootName, condition.keyPath)
                : reader.ValueEquals(kClassesRootName, condition.keyPath, condition.valueName,
                                     condition.expected);
        intact = intact && holds;
    }
    return intact;
}

bool CheckExecutableAssociation() {
    RegistryAssociationReader reader(IsNtPlatform() != 0);
    return CheckExecutableAssociation(ExtName(), reader);
}

void RepairExecutableAssociation(bool isNt, const std::wstring& extension) {
    if (!IsGuardedExtension(extension)) return;

    for (const ClassKeyDeletion& classKey : ClassKeysToDelete(extension)) {
        DeleteKey(isNt, classKey.rootName, classKey.keyPath, true);
    }
    // A link the user made where the registration is written (in the user's
    // classes tree, which the classes view shows first) goes as the key it
    // is, its target untouched; the writes then land in a key of their own.
    for (const std::wstring& path : UserClassesKeysWritten(extension)) {
        if (IsLinkKey(kCurrentUserRootName, path)) DeleteKey(isNt, kCurrentUserRootName, path, false);
    }
    for (const AssociationCondition& condition : ExpectedRegistration(extension)) {
        if (condition.keyOnly) continue;  // the key comes with its values
        WriteStringValue(isNt, kClassesRootName, condition.keyPath, condition.valueName,
                         condition.expected);
    }

    // The overrides are the user's keys: one that is a link goes as the key
    // it is (DeleteKey takes a link itself), and what it points to stays.
    const std::wstring explorerKey = ExplorerExtensionKey(extension);
    if (IsLinkKey(kCurrentUserRootName, explorerKey)) {
        DeleteKey(isNt, kCurrentUserRootName, explorerKey, false);
        return;
    }
    if (!KeyExists(isNt, kCurrentUserRootName, explorerKey)) return;
    const std::wstring openWithList = explorerKey + L"\\OpenWithList";
    if (IsLinkKey(kCurrentUserRootName, openWithList)) {
        DeleteKey(isNt, kCurrentUserRootName, openWithList, false);
    } else if (KeyExists(isNt, kCurrentUserRootName, openWithList)) {
        RegistryEntryList values;
        EnumerateValues(isNt, kCurrentUserRootName, openWithList, values);
        for (const RegistryEntry& value : values) {
            DeleteValue(isNt, value.rootName, value.keyPath, value.valueName);
        }
    }
    for (const wchar_t* subkey : {L"\\OpenWithProgids", L"\\UserChoice"}) {
        const std::wstring path = explorerKey + subkey;
        if (IsLinkKey(kCurrentUserRootName, path) || KeyExists(isNt, kCurrentUserRootName, path)) {
            DeleteKey(isNt, kCurrentUserRootName, path, false);
        }
    }
}

void RepairExecutableAssociation() {
    RepairExecutableAssociation(IsNtPlatform() != 0, ExtName());
}

}  // namespace tqn
