// Game-data containers and text settings: SAF archives with their members
// read through the working set, gzip files read and sought, the
// configuration file and setups.
#include "harness.h"

#include <zlib.h>

#include "core/config.h"
#include "core/data_file.h"
#include "core/saf_writer.h"

namespace zv::fuzz {

namespace {

// Reads a handle every way the game does: lines, bytes, seeks back and on.
void read_every_way(core::DataFile& f)
{
    std::vector<std::uint8_t> all = core::read_all(f);
    core::seek(f, static_cast<long>(all.size() / 2));
    std::uint8_t buf[64];
    core::read_bytes(f, buf, sizeof buf);
    (void)core::position(f);
    core::seek(f, 0);
    std::string line;
    for (int i = 0; i < 4 && core::read_line(f, line); ++i) {
    }
    core::seek(f, static_cast<long>(all.size()) + 10);
    (void)core::read_char(f);
}

std::string gzipped(std::string_view text)
{
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    std::string out(text.size() + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string as_string(const std::vector<std::uint8_t>& v) { return {v.begin(), v.end()}; }

}  // namespace

int fuzz_saf(const std::uint8_t* data, std::size_t size)
{
    use_scratch_data_folders();
    if (!write_scratch("data/fuzz.saf", data, size))
        return 0;
    core::reset_data_files();
    int opened = 0;
    for (const core::WorkingSetEntry& e : core::working_set_entries()) {
        if (++opened > 16)
            break;
        if (core::DataFilePtr f = core::open_data_file("@" + e.name, "rb"))
            read_every_way(*f);
    }
    core::free_working_set();
    return 0;
}

int fuzz_gzip(const std::uint8_t* data, std::size_t size)
{
    if (!write_scratch("g.txt.gz", data, size))
        return 0;
    if (core::DataFilePtr f = core::open_data_file(scratch_folder() + "g.txt", "rb"))
        read_every_way(*f);
    return 0;
}

int fuzz_config(const std::uint8_t* data, std::size_t size)
{
    if (!write_scratch("config.cfg", data, size))
        return 0;
    if (core::DataFilePtr f = core::open_data_file(scratch_folder() + "config.cfg", "rb"))
        core::read_config_lines(*f);
    return 0;
}

int fuzz_setup(const std::uint8_t* data, std::size_t size)
{
    if (!write_scratch("bike.setup", data, size))
        return 0;
    if (core::DataFilePtr f = core::open_data_file(scratch_folder() + "bike.setup", "rb"))
        core::read_setup_lines(*f);
    return 0;
}

Seeds saf_seeds()
{
    std::string text = "hello\nworld\n";
    std::vector<core::SafMember> members = {
        {"a.txt", {text.begin(), text.end()}},
        {"dir/b.txt.gz", [&] { std::string g = gzipped(text); return std::vector<std::uint8_t>(g.begin(), g.end()); }()},
        {"empty", {}},
    };
    auto saf = core::build_saf(members);
    return {saf ? as_string(*saf) : std::string()};
}

Seeds gzip_seeds() { return {gzipped("line one\nline two\n"), gzipped(std::string(5000, 'x')), gzipped("")}; }

namespace {

// The file a writer makes, as the seed its reader starts from.
std::string written_by(void (*write)(core::DataFile&))
{
    const std::string path = scratch_folder() + "seed.out";
    if (core::DataFilePtr out = core::open_data_file(path, "wb"))
        write(*out);
    std::vector<std::uint8_t> bytes;
    core::read_data_file(path, bytes);
    return as_string(bytes);
}

}  // namespace

Seeds config_seeds() { return {written_by(core::write_config_lines), "use_fbo=1\nbike=kx250f\n# x\n"}; }

Seeds setup_seeds() { return {written_by(core::write_setup), "bike=crf250\nstability=2\n"}; }

}  // namespace zv::fuzz
