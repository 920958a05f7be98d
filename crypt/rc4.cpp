#include <cstdint>
#include <utility>

#include "crypt/crypt_tool.h"

namespace tqn {

void Rc4Apply(const unsigned char* key, size_t keyLength, unsigned char* data, size_t length) {
    if (key == nullptr || keyLength == 0 || data == nullptr) return;
    uint8_t state[256];
    for (unsigned i = 0; i < 256; ++i) state[i] = static_cast<uint8_t>(i);
    uint8_t j = 0;
    for (unsigned i = 0; i < 256; ++i) {
        j = static_cast<uint8_t>(j + state[i] + key[i % keyLength]);
        std::swap(state[i], state[j]);
    }
    uint8_t i = 0;
    j = 0;
    for (size_t n = 0; n < length; ++n) {
        i = static_cast<uint8_t>(i + 1);
        j = static_cast<uint8_t>(j + state[i]);
        std::swap(state[i], state[j]);
        data[n] ^= state[static_cast<uint8_t>(state[i] + state[j])];
    }
    // The state reveals the key: do not leave it on the stack.
    volatile uint8_t* wipe = state;
    for (unsigned n = 0; n < 256; ++n) wipe[n] = 0;
}

}  // namespace tqn
