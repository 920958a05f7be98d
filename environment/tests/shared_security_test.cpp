// The security of the shared objects, checked in the descriptor we build
// (Wine drops mandatory labels from objects) and by creating real objects.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "environment/shared_security.h"
#include "environment/tests/test_support.h"
#include "platform/scoped_resource.h"
#include "platform/token_query.h"

namespace tqn {
namespace {

// A DACL that is present and null: every account has full access.
bool HasNullDacl(PSECURITY_DESCRIPTOR descriptor) {
    BOOL present = FALSE;
    BOOL defaulted = TRUE;
    PACL dacl = reinterpret_cast<PACL>(1);
    return ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present && !defaulted &&
           dacl == nullptr;
}

// Describes the SACL: "none", or its ACEs as "type/mask/SID" joined by spaces.
std::wstring DescribeSacl(PSECURITY_DESCRIPTOR descriptor) {
    BOOL present = FALSE;
    BOOL defaulted = TRUE;
    PACL sacl = nullptr;
    if (!::GetSecurityDescriptorSacl(descriptor, &present, &sacl, &defaulted)) return L"<error>";
    if (!present) return L"none";
    if (sacl == nullptr) return L"null";
    std::wstring text;
    for (DWORD i = 0; i < sacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(sacl, i, &ace)) return L"<bad ace>";
        auto* label = static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace);
        wchar_t* sidText = nullptr;
        if (!::ConvertSidToStringSidW(&label->SidStart, &sidText)) return L"<bad sid>";
        ScopedLocalMemory owner(sidText);
        if (!text.empty()) text += L" ";
        text += std::to_wstring(label->Header.AceType) + L"/" + std::to_wstring(label->Mask) + L"/" + sidText;
    }
    return text;
}

// One mandatory label ACE (type 0x11), no write up (1), low integrity.
const std::wstring kLowLabel = L"17/1/S-1-16-4096";

// The facts of the three kinds of system, pushed through the choice and the real builder.
SECURITY_ATTRIBUTES* BuildForFacts(SharedSecurityStorage& storage, WindowsVersionFacts facts) {
    return BuildSharedSecurityAttributesFor(storage, ChooseSharedSecurity(facts.read, facts.platformId, facts.major));
}

TEST(SharedSecurity, MajorVersion6GetsNullDaclAndLowLabel) {
    SharedSecurityStorage storage;
    SECURITY_ATTRIBUTES* attributes = BuildForFacts(storage, {true, VER_PLATFORM_WIN32_NT, 6});
    ASSERT_NE(attributes, nullptr);
    EXPECT_EQ(attributes, &storage.attributes);
    EXPECT_EQ(attributes->nLength, 24u);
    EXPECT_FALSE(attributes->bInheritHandle);
    EXPECT_EQ(attributes->lpSecurityDescriptor, &storage.descriptor);
    EXPECT_TRUE(HasNullDacl(attributes->lpSecurityDescriptor));
    EXPECT_EQ(DescribeSacl(attributes->lpSecurityDescriptor), kLowLabel);
    EXPECT_NE(storage.labelSource.Get(), nullptr);  // the label's memory lives with the storage
}

TEST(SharedSecurity, MajorVersion10AndXpGetNullDaclOnly) {
    for (uint32_t major : {10u, 5u}) {
        SharedSecurityStorage storage;
        SECURITY_ATTRIBUTES* attributes = BuildForFacts(storage, {true, VER_PLATFORM_WIN32_NT, major});
        ASSERT_NE(attributes, nullptr) << major;
        EXPECT_EQ(attributes->nLength, 24u);
        EXPECT_TRUE(HasNullDacl(attributes->lpSecurityDescriptor)) << major;
        EXPECT_EQ(DescribeSacl(attributes->lpSecurityDescriptor), L"none") << major;
    }
}

TEST(SharedSecurity, NonNtOrUnreadableVersionGetsDefaultSecurity) {
    SharedSecurityStorage storage;
    EXPECT_EQ(BuildForFacts(storage, {true, VER_PLATFORM_WIN32_WINDOWS, 4}), nullptr);
    EXPECT_EQ(BuildForFacts(storage, {false, 0, 0}), nullptr);
}

TEST(SharedSecurity, ThisSystemsAttributesFollowItsVersion) {
    // The thin gatherer: what it builds here is what the choice says for the facts read.
    const WindowsVersionFacts facts = ReadWindowsVersionFacts();
    ASSERT_TRUE(facts.read);
    EXPECT_EQ(facts.platformId, static_cast<uint32_t>(VER_PLATFORM_WIN32_NT));
    SharedSecurityStorage storage;
    SECURITY_ATTRIBUTES* attributes = BuildSharedSecurityAttributes(storage);
    ASSERT_NE(attributes, nullptr);
    EXPECT_TRUE(HasNullDacl(attributes->lpSecurityDescriptor));
    EXPECT_EQ(DescribeSacl(attributes->lpSecurityDescriptor), facts.major == 6 ? kLowLabel : L"none")
        << facts.major;
}

// The DACL of a kernel object as it reads back: present and null is what
// the attributes ask for. Attributes without a descriptor leave the object
// none at all under Wine, which also admits everyone, so the open below
// cannot tell it from a null DACL: this read can.
bool ObjectHasNullDacl(HANDLE object) {
    PSECURITY_DESCRIPTOR read = nullptr;
    PACL dacl = nullptr;
    if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                          &read) != ERROR_SUCCESS) {
        return false;
    }
    ScopedLocalMemory readOwner(read);
    return HasNullDacl(read);
}

// For its lifetime the thread impersonates a token in which every SID of
// this process is deny-only: no ACE can grant it anything, so only a null
// DACL lets it open an object. Wine enforces deny-only SIDs on kernel
// objects (it ignores restricting SIDs and cannot impersonate anonymously).
class EverySidDenyOnly {
public:
    EverySidDenyOnly() {
        ScopedHandle process;
        ScopedLocalMemory user;
        ScopedLocalMemory groups;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, process.Receive()) ||
            !QueryTokenInformation(process.Get(), TokenUser, user) ||
            !QueryTokenInformation(process.Get(), TokenGroups, groups)) {
            return;
        }
        std::vector<SID_AND_ATTRIBUTES> denied{{static_cast<TOKEN_USER*>(user.Get())->User.Sid, 0}};
        const auto* list = static_cast<const TOKEN_GROUPS*>(groups.Get());
        for (DWORD i = 0; i < list->GroupCount; ++i) {
            // The integrity label grants nothing and cannot be made deny-only.
            if (!(list->Groups[i].Attributes & SE_GROUP_INTEGRITY)) denied.push_back({list->Groups[i].Sid, 0});
        }
        ScopedHandle restricted;
        ScopedHandle impersonation;
        if (!::CreateRestrictedToken(process.Get(), 0, static_cast<DWORD>(denied.size()), denied.data(), 0, nullptr,
                                     0, nullptr, restricted.Receive()) ||
            !::DuplicateToken(restricted.Get(), SecurityImpersonation, impersonation.Receive())) {
            return;
        }
        active_ = ::SetThreadToken(nullptr, impersonation.Get()) != FALSE;
    }
    ~EverySidDenyOnly() {
        if (active_) ::RevertToSelf();
    }
    EverySidDenyOnly(const EverySidDenyOnly&) = delete;
    EverySidDenyOnly& operator=(const EverySidDenyOnly&) = delete;
    bool Active() const { return active_; }

private:
    bool active_ = false;
};

TEST(SharedSecurity, ObjectsMadeWithTheAttributesOpenForEveryone) {
    // The token must be refused where a DACL names SIDs, or the opens below
    // prove nothing: a descriptor without a DACL takes the creator's default.
    {
        SECURITY_DESCRIPTOR noDacl{};
        ASSERT_TRUE(::InitializeSecurityDescriptor(&noDacl, SECURITY_DESCRIPTOR_REVISION));
        SECURITY_ATTRIBUTES creatorOnly{sizeof(SECURITY_ATTRIBUTES), &noDacl, FALSE};
        const std::wstring name = L"Local\\tqn-env-test-" + testing::NewGuidText();
        ScopedHandle mutex(::CreateMutexW(&creatorOnly, FALSE, name.c_str()));
        ASSERT_TRUE(mutex.Valid()) << ::GetLastError();
        EverySidDenyOnly restricted;
        ASSERT_TRUE(restricted.Active()) << ::GetLastError();
        ScopedHandle opened(::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str()));
        const DWORD error = ::GetLastError();
        EXPECT_FALSE(opened.Valid());
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    // Both kinds of attributes give the block's mutex and mapping a null DACL
    // (Wine keeps no label), and that token opens them.
    for (SharedSecurity choice : {SharedSecurity::NullDacl, SharedSecurity::NullDaclLowLabel}) {
        SCOPED_TRACE(static_cast<int>(choice));
        SharedSecurityStorage storage;
        SECURITY_ATTRIBUTES* attributes = BuildSharedSecurityAttributesFor(storage, choice);
        const std::wstring name = L"Local\\tqn-env-test-" + testing::NewGuidText();
        const std::wstring blockName = name + L"-block";
        ScopedHandle mutex(::CreateMutexW(attributes, FALSE, name.c_str()));
        ASSERT_TRUE(mutex.Valid()) << ::GetLastError();
        ScopedHandle mapping(
            ::CreateFileMappingW(INVALID_HANDLE_VALUE, attributes, PAGE_READWRITE, 0, 4096, blockName.c_str()));
        ASSERT_TRUE(mapping.Valid()) << ::GetLastError();
        EXPECT_TRUE(ObjectHasNullDacl(mutex.Get()));
        EXPECT_TRUE(ObjectHasNullDacl(mapping.Get()));

        EverySidDenyOnly restricted;
        ASSERT_TRUE(restricted.Active()) << ::GetLastError();
        ScopedHandle openedMutex(::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str()));
        EXPECT_TRUE(openedMutex.Valid()) << ::GetLastError();
        ScopedHandle openedMapping(::OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, blockName.c_str()));
        EXPECT_TRUE(openedMapping.Valid()) << ::GetLastError();
    }
}

}  // namespace
}  // namespace tqn
