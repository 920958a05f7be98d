// The module under Wine: the skin buffer under the process's name holding the
// writer's bytes, re-publication, and the refusals.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "environment/caller_token.h"
#include "kit/strings/skin_buffer_writer.h"
#include "kit/testsupport/scratch_folder.h"
#include "platform/scoped_resource.h"

namespace {

const std::string kSmall = "IDS_PRODUCT_NAME = Tarvolin\n";
const std::string kLarge = kSmall + "-IDS_OLD =\nIDS_MSG_UAC_CHECK = a\\nb\n";
const std::string kLarger = kLarge + "IDS_MORE = more\n";

std::vector<uint8_t> BufferOf(const std::string& text, size_t size = 0) {
    skn::Skin skin;
    std::wstring error;
    EXPECT_TRUE(skn::ParseSkin(text, L"skin.skn", skin, error));
    std::vector<uint8_t> buffer = skn::BuildSkinBuffer(skin);
    if (size != 0) buffer.resize(size, 0);
    return buffer;
}

// The first size bytes of the named buffer, mapped as the launcher maps it.
std::vector<uint8_t> Published(const std::wstring& name, size_t size) {
    tqn::ScopedHandle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str()));
    tqn::ScopedView view(mapping ? ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0) : nullptr);
    if (!view) return {};
    const auto* bytes = static_cast<const uint8_t*>(view.Get());
    return std::vector<uint8_t>(bytes, bytes + size);
}

class StringsModule : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring path(MAX_PATH, L'\0');
        path.resize(::GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
        module_.Reset(::LoadLibraryW((path.substr(0, path.find_last_of(L'\\') + 1) + L"strings.tqm").c_str()));
        ASSERT_TRUE(module_) << ::GetLastError();
        const auto bind = [this](const char* name) {
            return reinterpret_cast<void*>(::GetProcAddress(module_.Get(), name));
        };
        initialize_ = reinterpret_cast<int32_t (*)(const wchar_t*, const wchar_t*)>(bind("Initialize_V2"));
        getName_ = reinterpret_cast<int32_t (*)(wchar_t*)>(bind("GetSkinBufferName"));
        unInitialize_ = reinterpret_cast<int32_t (*)()>(bind("UnInitialize"));
        lock_ = reinterpret_cast<int32_t (*)()>(bind("Lock"));
        unlock_ = reinterpret_cast<int32_t (*)()>(bind("Unlock"));
        ASSERT_TRUE(initialize_ && getName_ && unInitialize_ && lock_ && unlock_);
    }

    int32_t Initialize(const std::string& text) {
        const std::wstring path = scratch_.Path() + L"\\skin.skn";
        std::ofstream(std::filesystem::path(path), std::ios::binary | std::ios::trunc) << text;
        return initialize_(token_.c_str(), path.c_str());
    }

    // The name handed out, or "-" when GetSkinBufferName fails.
    std::wstring Name() {
        wchar_t out[260] = {};
        return getName_(out) == 1 ? std::wstring(out) : L"-";
    }

    tqn::test::ScratchFolder scratch_{L"strings-module"};
    tqn::ScopedLibrary module_;
    int32_t (*initialize_)(const wchar_t*, const wchar_t*) = nullptr;
    int32_t (*getName_)(wchar_t*) = nullptr;
    int32_t (*unInitialize_)() = nullptr, (*lock_)() = nullptr, (*unlock_)() = nullptr;
    const std::wstring token_ = tqn::BuildCallerToken();
    const std::wstring name_ = L"TQSkinBuffer_" + std::to_wstring(::GetCurrentProcessId());
};

TEST_F(StringsModule, PublishesUnderTheProcessNameAndRewritesInPlace) {
    EXPECT_EQ(Name(), L"-");
    EXPECT_EQ(initialize_(std::wstring(36, L'0').c_str(), L"C:\\none.skn"), 0);
    EXPECT_EQ(initialize_(token_.c_str(), L"C:\\none.skn"), 0);
    EXPECT_EQ(Name(), L"-");

    ASSERT_EQ(lock_(), 1);  // as the launcher calls it
    ASSERT_EQ(Initialize(kLarge), 1);
    EXPECT_EQ(unlock_(), 1);
    EXPECT_EQ(unlock_(), 0);  // not held any more
    ASSERT_EQ(Name(), name_);
    const size_t size = BufferOf(kLarge).size();
    EXPECT_EQ(Published(name_, size), BufferOf(kLarge));
    tqn::ScopedHandle held(::OpenFileMappingW(FILE_MAP_READ, FALSE, name_.c_str()));  // as the launcher keeps it

    // A smaller skin goes into the same mapping, zeros after it.
    ASSERT_EQ(Initialize(kSmall), 1);
    EXPECT_EQ(Name(), name_);
    EXPECT_EQ(Published(name_, size), BufferOf(kSmall, size));

    // A malformed skin, or one needing a new mapping while the old one is
    // held, fails and leaves the held one alone.
    for (const std::string& text : {std::string("IDS_A\n"), kLarger}) {
        EXPECT_EQ(Initialize(text), 0);
        EXPECT_EQ(Name(), L"-");
        EXPECT_EQ(Published(name_, size), BufferOf(kSmall, size));
    }
    held.Reset();
    ASSERT_EQ(Initialize(kLarger), 1);
    EXPECT_EQ(Published(name_, BufferOf(kLarger).size()), BufferOf(kLarger));

    // UnInitialize closes the module's handle, the last one.
    EXPECT_EQ(unInitialize_(), 1);
    EXPECT_EQ(Name(), L"-");
    EXPECT_TRUE(Published(name_, 1).empty());
}

TEST_F(StringsModule, RefusesABufferSomebodyElseMade) {
    tqn::ScopedHandle theirs(
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name_.c_str()));
    tqn::ScopedView view(theirs ? ::MapViewOfFile(theirs.Get(), FILE_MAP_WRITE, 0, 0, 0) : nullptr);
    ASSERT_TRUE(view);
    std::memset(view.Get(), 0xAB, 4096);

    EXPECT_EQ(Initialize(kSmall), 0);
    EXPECT_EQ(Name(), L"-");
    EXPECT_EQ(Published(name_, 4096), std::vector<uint8_t>(4096, 0xAB));

    view.Reset();
    theirs.Reset();
    EXPECT_EQ(Initialize(kSmall), 1);  // the name is free again
    EXPECT_EQ(Name(), name_);
}

}  // namespace
