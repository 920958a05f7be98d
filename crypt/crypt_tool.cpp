#include "crypt/crypt_tool.h"

#include <cstring>

namespace tqn {

namespace {

// The product's built-in key. Every process that exchanges enciphered data
// with the launcher holds the same 24 bytes and the same 16 mask bytes.
constexpr unsigned char kKeyMaterial[24] = {
    0x3F, 0xE0, 0x48, 0xE1, 0xB4, 0xF7, 0x9C, 0x06, 0x61, 0x80, 0x15, 0x94,
    0x16, 0xBA, 0x14, 0x5C, 0xB8, 0xB7, 0x62, 0x86, 0xEF, 0x2C, 0xE4, 0x12,
};
constexpr unsigned char kKeyMask[16] = {
    0x18, 0x44, 0xDA, 0x5A, 0x95, 0x4D, 0x6A, 0xB7, 0xE5, 0x6E, 0x23, 0xD1, 0x73, 0x04, 0xAE, 0x98,
};

constexpr size_t kBlockSize = 16;

void Wipe(void* bytes, size_t count) {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(bytes);
    for (size_t i = 0; i < count; ++i) p[i] = 0;
}

// The working key exists only for one call: the first 16 bytes of the key
// material masked, the last 8 as they are. Wiped when it goes out of scope.
class WorkingKey {
public:
    explicit WorkingKey(const ByteBuffer& material) {
        for (size_t i = 0; i < sizeof(bytes_); ++i) {
            const unsigned char b = i < material.size() ? material[i] : 0;
            bytes_[i] = i < sizeof(kKeyMask) ? static_cast<unsigned char>(b ^ kKeyMask[i]) : b;
        }
    }
    ~WorkingKey() { Wipe(bytes_, sizeof(bytes_)); }
    WorkingKey(const WorkingKey&) = delete;
    WorkingKey& operator=(const WorkingKey&) = delete;

    const unsigned char* SeedKey() const { return bytes_; }
    const unsigned char* Rc4Key() const { return bytes_; }
    static constexpr size_t kRc4KeyLength = 24;

private:
    unsigned char bytes_[24];
};

class ScopedRoundKeys {
public:
    explicit ScopedRoundKeys(const WorkingKey& key) : keys_(SeedKeySchedule(key.SeedKey())) {}
    ~ScopedRoundKeys() { Wipe(keys_.data(), sizeof(keys_)); }
    ScopedRoundKeys(const ScopedRoundKeys&) = delete;
    ScopedRoundKeys& operator=(const ScopedRoundKeys&) = delete;
    const SeedRoundKeys& Get() const { return keys_; }

private:
    SeedRoundKeys keys_;
};

// Where the blocks of an enciphered buffer start and how many plaintext bytes
// they hold. Only a prefix of 1 to 16 is accepted: 0 would drop the last block
// (or give nothing at all), more than 16 would reach past the data.
bool ReadLayout(const ByteBuffer& in, size_t& blockOffset, size_t& plainLength) {
    if (in.size() < kBlockSize) return false;
    switch (in.size() % kBlockSize) {
    case 0:
        blockOffset = 0;
        plainLength = in.size();
        return true;
    case 1: {
        const size_t blocks = (in.size() - 1) / kBlockSize;
        const size_t prefix = in[0];
        if (prefix == 0 || prefix > kBlockSize) return false;
        blockOffset = 1;
        plainLength = kBlockSize * (blocks - 1) + prefix;
        return true;
    }
    default:
        return false;
    }
}

}  // namespace

CryptTool::CryptTool() {
    for (unsigned char b : kKeyMaterial) keyMaterial_.push_back(b);
}

CryptTool::~CryptTool() = default;

int32_t CryptTool::Encrypt(const ByteBuffer& in, ByteBuffer& out) const {
    if (in.empty()) return 0;
    const WorkingKey key(keyMaterial_);
    const ScopedRoundKeys roundKeys(key);

    const size_t length = in.size();
    const size_t fullBlocks = length / kBlockSize;
    const size_t rest = length % kBlockSize;
    const size_t offset = rest != 0 ? 1 : 0;

    // Built apart from out: in and out may be the same buffer.
    ByteBuffer result;
    result.ResizeZeroed(rest != 0 ? 1 + kBlockSize * (fullBlocks + 1) : length);
    if (rest != 0) result[0] = static_cast<unsigned char>(rest);
    std::memcpy(result.data() + offset, in.data(), length);
    // The last partial block is already followed by zeros.
    const size_t blocks = fullBlocks + (rest != 0 ? 1 : 0);
    for (size_t b = 0; b < blocks; ++b) {
        SeedEncryptBlock(roundKeys.Get(), result.data() + offset + b * kBlockSize);
    }
    out.swap(result);
    return 1;
}

int32_t CryptTool::Decrypt(const ByteBuffer& in, ByteBuffer& out) const {
    size_t blockOffset = 0;
    size_t plainLength = 0;
    if (!ReadLayout(in, blockOffset, plainLength)) return 0;
    const WorkingKey key(keyMaterial_);
    const ScopedRoundKeys roundKeys(key);

    ByteBuffer plain(in.begin() + static_cast<std::ptrdiff_t>(blockOffset), in.end());
    for (size_t b = 0; b < plain.size() / kBlockSize; ++b) {
        SeedDecryptBlock(roundKeys.Get(), plain.data() + b * kBlockSize);
    }
    plain.resize(plainLength);
    out.swap(plain);
    return 1;
}

int32_t CryptTool::Transform(const ByteBuffer& in, ByteBuffer& out) const {
    if (in.empty()) return 0;
    ByteBuffer result(in);
    const WorkingKey key(keyMaterial_);
    Rc4Apply(key.Rc4Key(), WorkingKey::kRc4KeyLength, result.data(), result.size());
    out.swap(result);
    return 1;
}

}  // namespace tqn
