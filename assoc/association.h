#pragma once
// The executable-association guard: whether the guarded extension (EXT_NAME)
// is still registered as an executable program type in the classes view, and
// the repair that rewrites that registration and removes the current user's
// Explorer overrides for it.
#ifdef _WIN32
#include <string>

namespace tqn {

// True when all four conditions of an intact registration hold. With no
// extension to guard there is nothing to check: true.
bool CheckExecutableAssociation();

// Rewrites the registration and removes the per-user overrides; every step
// runs whatever the previous one did. Does nothing with no extension to guard.
void RepairExecutableAssociation();

// The reads the check makes, so that a test can watch them.
class AssociationReader {
public:
    virtual ~AssociationReader() = default;
    virtual bool KeyExists(const std::wstring& rootName, const std::wstring& keyPath) = 0;
    virtual bool ValueEquals(const std::wstring& rootName, const std::wstring& keyPath,
                             const std::wstring& valueName, const std::wstring& expected) = 0;
};

// The registry tool's reads with the given NT-family flag.
class RegistryAssociationReader : public AssociationReader {
public:
    explicit RegistryAssociationReader(bool isNt) : isNt_(isNt) {}
    bool KeyExists(const std::wstring& rootName, const std::wstring& keyPath) override;
    bool ValueEquals(const std::wstring& rootName, const std::wstring& keyPath,
                     const std::wstring& valueName, const std::wstring& expected) override;

private:
    bool isNt_;
};

// The check for an extension, every condition read even after one failed.
bool CheckExecutableAssociation(const std::wstring& extension, AssociationReader& reader);

// The repair for an extension.
void RepairExecutableAssociation(bool isNt, const std::wstring& extension);

}  // namespace tqn
#endif
