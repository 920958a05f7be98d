// libFuzzer target over the "data.cfg" parser (clang only; see
// kit/config/CMakeLists.txt). A file that parses is written back by the
// module's writer and must read back to the same store; one that fails names
// its line and leaves the store as it was.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "kit/config/config_data.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const cfg::Store kept = {{L"kept", L"x"}};
    cfg::Store store = kept;
    std::wstring error;
    if (!cfg::ParseDataFile(bytes, L"data.cfg", store, error)) {
        Require(store == kept && error.rfind(L"data.cfg ", 0) == 0);
        return 0;
    }
    for (const auto& [key, value] : store) Require(!key.empty() && key.size() <= cfg::kMaxKeyLength);
    std::string written;
    Require(cfg::WriteDataFile(store, written, error));
    cfg::Store again;
    Require(cfg::ParseDataFile(written, L"data.cfg", again, error) && again == store);
    return 0;
}
