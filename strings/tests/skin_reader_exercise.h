#pragma once
// One pass of the skin buffer reader over foreign bytes, shared by the
// libFuzzer target and the suite's bounded random run. False when a found
// text came from outside the bytes (the sanitizers catch any read outside).
#include <cstddef>
#include <cstdint>

namespace tqn::test {

bool ExerciseSkinReader(const uint8_t* data, size_t size);

}  // namespace tqn::test
