// zarvox-datagen: writes the game data into a folder.
//   zarvox-datagen --out DIR
#include "base_archive.h"

#include "core/saf_writer.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: zarvox-datagen --out DIR\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string out;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc)
            out = argv[++i];
        else if (std::strncmp(argv[i], "--out=", 6) == 0)
            out = argv[i] + 6;
        else
            return usage();
    }
    if (out.empty())
        return usage();

    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    if (ec) {
        std::fprintf(stderr, "zarvox-datagen: cannot create %s: %s\n", out.c_str(), ec.message().c_str());
        return 1;
    }

    std::string archive = (std::filesystem::path(out) / "zzzz.saf").string();
    if (!zv::core::write_saf(archive, zv::datagen::base_archive_members())) {
        std::fprintf(stderr, "zarvox-datagen: cannot write %s\n", archive.c_str());
        return 1;
    }
    return 0;
}
