// libFuzzer target over the "ptl.dat" parser (clang only; see
// kit/ptl/CMakeLists.txt). A load that succeeds gives well-formed names and
// non-empty values; one that fails names its line and keeps the old table.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "kit/ptl/ptl_data.h"
#include "kit/ptl/tests/sample_environment.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ptl::PathTable table;
    std::wstring error;
    Require(table.Load("KEPT = x\n", L"ptl.dat", L"C:\\Product", ptl::test::SampleEnvironment, error));
    const auto before = table.Values();
    if (!table.Load(bytes, L"ptl.dat", L"C:\\Product", ptl::test::SampleEnvironment, error)) {
        Require(table.Values() == before && error.rfind(L"ptl.dat line ", 0) == 0);
        return 0;
    }
    for (const auto& [name, value] : table.Values()) {
        Require(!name.empty() && name.find_first_not_of(L"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") == std::wstring::npos);
        Require(!value.empty());
    }
    std::wstring folder;
    Require(table.Find(ptl::kProductFolderVariable, folder) && folder == L"C:\\Product");
    return 0;
}
