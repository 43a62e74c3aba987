// RIPEMD-160 digests for the track hash and the data checks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zv::core {

using Digest = std::array<std::uint8_t, 20>;

class Ripemd160 {
public:
    Ripemd160();
    void update(const void* data, std::size_t size);
    void update(std::string_view text) { update(text.data(), text.size()); }
    Digest finish();  // the object starts over afterwards

private:
    alignas(8) unsigned char state_[128];
};

Digest ripemd160(std::span<const std::uint8_t> bytes);

// 40 lower-case hexadecimal digits, "%02x" per byte.
std::string digest_hex(const Digest& digest);

}  // namespace zv::core
