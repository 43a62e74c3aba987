// What the data-file sources share among themselves: the handle layout, the
// gzip reader and the lookup helpers. Not for use outside src/core/data_file*.
#pragma once

#include "core/atomic_file.h"
#include "core/data_file.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include <zlib.h>

namespace zv::core {

inline constexpr std::uint64_t k_unlimited = UINT64_MAX;

// The bytes of one stored member: a stream, where the data starts in it and
// how many bytes belong to it (k_unlimited for a whole loose file).
struct ByteSource {
    std::FILE* fp = nullptr;
    std::uint64_t base = 0;
    std::uint64_t limit = k_unlimited;
    std::uint64_t consumed = 0;  // raw bytes taken from the stream since base

    // Reads up to count bytes, never past the member's end.
    std::size_t read(void* out, std::size_t count);
    bool rewind();
};

// Inflates a gzip member that is read through a ByteSource.
class GzipReader {
public:
    static constexpr std::size_t k_input_size = 16 * 1024;
    static constexpr std::size_t k_output_size = 1024;

    GzipReader() = default;
    ~GzipReader();
    GzipReader(const GzipReader&) = delete;
    GzipReader& operator=(const GzipReader&) = delete;

    // Reads and checks the header; false when it is not a gzip member we
    // can inflate.
    bool start(ByteSource& source);
    // Delivers up to count inflated bytes; 0 at the end of the deflate stream
    // (or at the first damaged or missing byte).
    std::size_t read(ByteSource& source, void* out, std::size_t count);

private:
    int next_raw(ByteSource& source);  // one header byte, -1 at the end
    bool fill_input(ByteSource& source);
    bool inflate_more(ByteSource& source);
    void end_stream();

    z_stream zs_{};
    bool inflating_ = false;
    bool finished_ = false;
    std::size_t in_pos_ = 0;  // header parsing position in in_
    std::size_t in_len_ = 0;
    std::size_t out_pos_ = 0;
    std::size_t out_len_ = 0;
    std::array<std::uint8_t, k_input_size> in_{};
    std::array<std::uint8_t, k_output_size> out_{};
};

enum class LastOp { none, read, write };

struct DataFile {
    ~DataFile();

    ByteSource source;
    bool writable = false;
    int pushed = -1;  // one pushed-back character, -1 = none
    std::uint64_t delivered = 0;  // inflated bytes handed out (gzip only)
    std::unique_ptr<GzipReader> gzip;
    LastOp last_op = LastOp::none;
    // A file opened with a "w" mode is written beside the old one and takes
    // its place when closed (atomic_file.h); the stream is the replacement's.
    std::unique_ptr<FileReplacement> replacement;
    bool write_failed = false;   // a write or flush failed: never put in place
    std::size_t written = 0;     // bytes handed to the stream so far
};

// "r" modes without "+" read; everything else writes.
bool is_read_mode(std::string_view mode);

// Turns "\\" into "/" and collapses runs of "/".
std::string normalise_slashes(std::string_view path);

// The working set's entries whose name equals `name` (already without "@"),
// ignoring case, in sort order: the first one wins, the others stand in when
// it cannot be opened.
std::span<const WorkingSetEntry> find_working_set_entries(std::string_view name);

// Appends the members of the ".saf" archive at path, each with the given
// priority; a malformed directory adds nothing.
void read_archive(const std::string& path, int priority, std::vector<WorkingSetEntry>& out);

void forget_search_folders();

// The reference archive that marks a complete game data folder.
inline constexpr std::string_view k_reference_archive = "zzzz.saf";

// The game data folder for an executable in exe_folder (ending in "/") when
// ZV_HOME is unset: the executable's own folder when the reference archive is
// there (a build folder), else the installed data folder "share/zarvox/"
// beside the executable's "bin/" when the archive is there, else the
// executable's folder (the data check then reports the data missing).
std::string data_folder_for_executable(const std::string& exe_folder);

// Number of search folders (loose entries have priority below it).
int search_folder_count();

}  // namespace zv::core
