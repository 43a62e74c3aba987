#include "core/digest.h"

#include <nettle/ripemd160.h>

#include <cstdio>
#include <new>

namespace zv::core {

static_assert(sizeof(ripemd160_ctx) <= 128, "RIPEMD-160 state does not fit");

static ripemd160_ctx* ctx(unsigned char* state)
{
    return std::launder(reinterpret_cast<ripemd160_ctx*>(state));
}

Ripemd160::Ripemd160()
{
    ::new (static_cast<void*>(state_)) ripemd160_ctx;
    ripemd160_init(ctx(state_));
}

void Ripemd160::update(const void* data, std::size_t size)
{
    if (size > 0)
        ripemd160_update(ctx(state_), size, static_cast<const std::uint8_t*>(data));
}

Digest Ripemd160::finish()
{
    Digest out{};
    ripemd160_digest(ctx(state_), out.size(), out.data());  // also re-initialises
    return out;
}

Digest ripemd160(std::span<const std::uint8_t> bytes)
{
    Ripemd160 r;
    r.update(bytes.data(), bytes.size());
    return r.finish();
}

std::string digest_hex(const Digest& digest)
{
    std::string out;
    out.reserve(40);
    char buf[3];
    for (std::uint8_t b : digest) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        out += buf;
    }
    return out;
}

}  // namespace zv::core
