#pragma once
// One pass of the block reader over foreign bytes, shared by the libFuzzer
// target and the bounded random run of the test suite. Returns false when
// the reader handed back bytes outside the block (the sanitizers catch any
// read outside it on the way).
#include <cstddef>
#include <cstdint>

namespace tqn::test {

bool ExerciseBlockReader(const uint8_t* data, size_t size);

}  // namespace tqn::test
