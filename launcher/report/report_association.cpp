#include <vector>

#include "assoc/association.h"
#include "assoc/association_plan.h"
#include "launcher/report/report_gather.h"
#include "platform/os_info.h"

namespace tqn::report {

namespace {

// The launcher's reads, each answer kept in the order the check asked.
class RecordingReader : public AssociationReader {
public:
    explicit RecordingReader(bool isNt) : registry_(isNt) {}
    bool KeyExists(const std::wstring& rootName, const std::wstring& keyPath) override {
        answers_.push_back(registry_.KeyExists(rootName, keyPath));
        return answers_.back();
    }
    bool ValueEquals(const std::wstring& rootName, const std::wstring& keyPath, const std::wstring& valueName,
                     const std::wstring& expected) override {
        answers_.push_back(registry_.ValueEquals(rootName, keyPath, valueName, expected));
        return answers_.back();
    }
    const std::vector<bool>& Answers() const { return answers_; }

private:
    RegistryAssociationReader registry_;
    std::vector<bool> answers_;
};

std::optional<std::wstring> ValueText(bool isNt, const std::wstring& rootName, const std::wstring& keyPath,
                                      const std::wstring& valueName) {
    if (!ValueExists(isNt, rootName, keyPath, valueName)) return std::nullopt;
    std::wstring text;
    uint32_t type = 0;
    if (!ReadStringValue(isNt, rootName, keyPath, valueName, text, type)) return std::wstring(L"(not text)");
    return text;
}

std::vector<OverrideValue> ValuesOf(bool isNt, const std::wstring& keyPath) {
    std::vector<OverrideValue> values;
    RegistryEntryList entries;
    EnumerateValues(isNt, kCurrentUserRootName, keyPath, entries);
    for (const RegistryEntry& entry : entries) {
        std::wstring text;
        uint32_t type = 0;
        ReadStringValue(isNt, kCurrentUserRootName, keyPath, entry.valueName, text, type);
        values.push_back({entry.valueName, text});
    }
    return values;
}

OverrideFacts GatherOverrides(bool isNt, const std::wstring& extension, const ScopedRegistryReadOnly& readOnly) {
    OverrideFacts overrides;
    overrides.keyPath = ExplorerExtensionKey(extension);
    const std::wstring userChoice = overrides.keyPath + L"\\UserChoice";
    const std::wstring progids = overrides.keyPath + L"\\OpenWithProgids";
    const std::wstring openWithList = overrides.keyPath + L"\\OpenWithList";
    if (KeyExists(isNt, kCurrentUserRootName, userChoice)) {
        overrides.userChoice = ValueText(isNt, kCurrentUserRootName, userChoice, L"Progid").value_or(L"");
    }
    overrides.openWithProgids = KeyExists(isNt, kCurrentUserRootName, progids);
    if (overrides.openWithProgids) overrides.openWithProgidsValues = ValuesOf(isNt, progids);
    overrides.openWithList = ValuesOf(isNt, openWithList);
    for (const std::wstring& path : {overrides.keyPath, userChoice, progids, openWithList}) {
        overrides.refused = overrides.refused || readOnly.WasRefused(kCurrentUserRootName, path);
    }
    return overrides;
}

// Every key the repair reads, writes or deletes, as the roots it names them under.
std::vector<std::wstring> LinkedRepairKeys(const std::wstring& extension) {
    const std::wstring key = L"." + extension;
    std::vector<std::pair<std::wstring, std::wstring>> keys = {
        {kClassesRootName, key},
        {kClassesRootName, key + L"\\PersistentHandler"},
        {kCurrentUserRootName, L"Software\\Classes\\" + key},
        {kCurrentUserRootName, L"Software\\Classes\\" + key + L"\\PersistentHandler"},
    };
    for (const ClassKeyDeletion& deletion : ClassKeysToDelete(extension)) {
        keys.emplace_back(deletion.rootName, deletion.keyPath);
    }
    const std::wstring explorer = ExplorerExtensionKey(extension);
    for (const wchar_t* below : {L"", L"\\UserChoice", L"\\OpenWithProgids", L"\\OpenWithList"}) {
        keys.emplace_back(kCurrentUserRootName, explorer + below);
    }
    std::vector<std::wstring> links;
    for (const auto& [rootName, path] : keys) {
        if (IsLinkKey(rootName, path)) links.push_back(CanonicalRootName(rootName, false) + L"\\" + path);
    }
    return links;
}

}  // namespace

AssociationFacts GatherAssociation(const std::wstring& extension, const ScopedRegistryReadOnly& readOnly) {
    const bool isNt = IsNtPlatform() != 0;
    AssociationFacts facts;
    facts.extension = extension;
    RecordingReader reader(isNt);
    facts.intact = CheckExecutableAssociation(extension, reader);
    if (!IsGuardedExtension(extension)) return facts;

    const std::vector<AssociationCondition> plan = ExpectedRegistration(extension);
    for (size_t i = 0; i < plan.size(); ++i) {
        ConditionFacts condition;
        condition.condition = plan[i];
        condition.holds = i < reader.Answers().size() && reader.Answers()[i];
        condition.refused = readOnly.WasRefused(kClassesRootName, plan[i].keyPath);
        if (!plan[i].keyOnly) condition.found = ValueText(isNt, kClassesRootName, plan[i].keyPath, plan[i].valueName);
        facts.conditions.push_back(std::move(condition));
    }
    facts.overrides = GatherOverrides(isNt, extension, readOnly);
    facts.links = LinkedRepairKeys(extension);
    return facts;
}

}  // namespace tqn::report
