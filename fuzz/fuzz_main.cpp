// The libFuzzer entry for one harness, chosen at build time. With
// ZV_FUZZ_SEED_DIR set, the harness's own seeds are written there first so
// the fuzzing script can hand them to libFuzzer as its corpus.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness.h"

namespace {

const zv::fuzz::Harness* harness()
{
    static const zv::fuzz::Harness* h = zv::fuzz::find_harness(ZV_FUZZ_HARNESS);
    return h;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!harness()) {
        std::fprintf(stderr, "no harness named %s\n", ZV_FUZZ_HARNESS);
        std::abort();
    }
    if (const char* dir = std::getenv("ZV_FUZZ_SEED_DIR")) {
        int n = 0;
        for (const std::string& seed : harness()->seeds()) {
            std::string path = std::string(dir) + "/seed-" + std::to_string(n++);
            if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
                std::fwrite(seed.data(), 1, seed.size(), f);
                std::fclose(f);
            }
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return harness()->run(data, size);
}
