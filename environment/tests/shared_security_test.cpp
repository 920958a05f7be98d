// The security of the shared objects, checked in the descriptor we build
// (Wine drops mandatory labels from objects) and by creating real objects.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "environment/shared_security.h"
#include "environment/tests/test_support.h"
#include "platform/scoped_resource.h"

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

TEST(SharedSecurity, ObjectsMadeWithTheAttributesOpenForEveryone) {
    // Both kinds of attributes are accepted by the kernel and give a null DACL
    // on the object (Wine reads it back as "D:", and keeps no label).
    for (SharedSecurity choice : {SharedSecurity::NullDacl, SharedSecurity::NullDaclLowLabel}) {
        SharedSecurityStorage storage;
        const std::wstring name = L"Local\\tqn-env-test-" + testing::NewGuidText();
        ScopedHandle mutex(::CreateMutexW(BuildSharedSecurityAttributesFor(storage, choice), FALSE, name.c_str()));
        ASSERT_TRUE(mutex.Valid()) << ::GetLastError();
        PSECURITY_DESCRIPTOR read = nullptr;
        PACL dacl = nullptr;
        ASSERT_EQ(::GetSecurityInfo(mutex.Get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                    &dacl, nullptr, &read),
                  static_cast<DWORD>(ERROR_SUCCESS));
        ScopedLocalMemory readOwner(read);
        EXPECT_EQ(dacl, nullptr);
        ScopedHandle opened(::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str()));
        EXPECT_TRUE(opened.Valid());
    }
}

}  // namespace
}  // namespace tqn
