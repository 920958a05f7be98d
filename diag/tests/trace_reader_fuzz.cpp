// libFuzzer target over the trace file reader (clang only; see
// diag/CMakeLists.txt): any bytes, as any user's process may have written
// the trace file. The first byte picks how many records are asked for and
// whether the bytes are a file's tail.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "diag/trace_reader.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t count = data[0] >> 1;
    const bool cutAtFront = (data[0] & 1) != 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto records = tqn::ReadTraceRecords(bytes, count, cutAtFront);
    const auto all = tqn::ReadTraceRecords(bytes, SIZE_MAX, cutAtFront);
    // The last records of all, whatever was asked for.
    Require(records.size() == (all.size() < count ? all.size() : count));
    for (size_t i = 0; i < records.size(); ++i) {
        const tqn::TraceFileRecord& mine = records[i];
        const tqn::TraceFileRecord& same = all[all.size() - records.size() + i];
        Require(mine.time == same.time && mine.program == same.program && mine.tag == same.tag &&
                mine.rest == same.rest);
        Require(mine.time.size() == 23);
        Require(mine.tag.empty() || (mine.tag.front() == L'{' && mine.tag.back() == L'}'));
    }
    return 0;
}
