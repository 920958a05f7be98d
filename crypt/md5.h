#pragma once
// MD5 (RFC 1321).
#include <array>
#include <cstddef>

namespace tqn {

using Md5Digest = std::array<unsigned char, 16>;
Md5Digest Md5(const void* data, size_t length);

}  // namespace tqn
