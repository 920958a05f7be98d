// libFuzzer target over the skin buffer reader (clang only; see
// strings/CMakeLists.txt). The suite runs the same pass over random buffers.
#include <cstdlib>

#include "strings/tests/skin_reader_exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!tqn::test::ExerciseSkinReader(data, size)) std::abort();
    return 0;
}
