// libFuzzer target over the script data block reader (clang only; see
// script/CMakeLists.txt). The suite runs the same pass over random blocks.
#include <cstdlib>

#include "script/tests/block_reader_exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!tqn::test::ExerciseBlockReader(data, size)) std::abort();
    return 0;
}
