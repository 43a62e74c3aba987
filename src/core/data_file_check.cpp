// The start-up check that the game data is present: the reference archive
// "zzzz.saf" in one of the search folders, recognised by the digest of its
// first MiB.
#include "core/data_file_internal.h"

#include "core/digest.h"
#include "platform/log.h"

#include <cctype>

namespace zv::core {

namespace {

constexpr std::size_t k_checked_bytes = 1024 * 1024;
constexpr std::size_t k_check_piece = 256;

bool log_started = false;

bool same_hex(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

bool reference_archive_matches(const std::string& path, std::string_view hex_digest)
{
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp)
        return false;
    Ripemd160 hash;
    unsigned char piece[k_check_piece];
    std::size_t total = 0;
    while (total < k_checked_bytes) {
        std::size_t n = std::fread(piece, 1, sizeof piece, fp);
        if (n == 0)
            break;
        hash.update(piece, n);
        total += n;
    }
    bool failed = std::ferror(fp) != 0;
    std::fclose(fp);
    return !failed && same_hex(digest_hex(hash.finish()), hex_digest);
}

bool data_folder_check_against(std::string_view hex_digest)
{
    create_home_folder();
    if (!log_started) {
        log_started = true;
        std::string home = home_folder();
        if (!home.empty())
            platform::log_printf("TORV_LOGFILE=%slastlog.txt", home.c_str());
    }
    for (const std::string& folder : search_folders()) {
        std::string path = folder + std::string(k_reference_archive);
        if (reference_archive_matches(path, hex_digest))
            return true;
    }
    return false;
}

bool data_folder_check()
{
    return data_folder_check_against(k_reference_archive_digest);
}

}  // namespace zv::core
