// Opening data files by name and the handle's byte-level reads and writes.
// Loose files, archive members (read in place, bounded to the member) and
// gzip-compressed files all read through the same handle.
#include "core/data_file_internal.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstring>
#include <sys/stat.h>

#include "platform/log.h"

namespace zv::core {

namespace {

constexpr std::size_t k_max_search_path = 511;
constexpr int k_max_backup_number = 9999;
constexpr std::size_t k_backup_copy_piece = 64 * 1024;

// Scrambled files (".scram") are enciphered with a stream cipher whose key
// this program does not have, so they are treated as absent: opening one
// fails and the search goes on with the next candidate.
constexpr std::string_view k_gz = ".gz";
constexpr std::string_view k_read_suffixes[] = {".gz", ".scram", ".gz.scram"};

bool ends_with(std::string_view s, std::string_view end)
{
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

bool file_exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool copy_file(const std::string& from, const std::string& to)
{
    std::FILE* in = std::fopen(from.c_str(), "rb");
    if (!in)
        return false;
    std::FILE* out = std::fopen(to.c_str(), "wb");
    if (!out) {
        std::fclose(in);
        return false;
    }
    std::vector<char> piece(k_backup_copy_piece);
    bool ok = true;
    std::size_t n;
    while ((n = std::fread(piece.data(), 1, piece.size(), in)) > 0)
        if (std::fwrite(piece.data(), 1, n, out) != n) {
            ok = false;
            break;
        }
    if (std::ferror(in))
        ok = false;
    std::fclose(in);
    if (std::fclose(out) != 0)
        ok = false;
    if (!ok)
        std::remove(to.c_str());
    return ok;
}

// Keeps the current file as the first free "<path>.~N~".
bool make_backup(const std::string& path)
{
    for (int n = 1; n <= k_max_backup_number; ++n) {
        char buf[32];
        std::snprintf(buf, sizeof buf, ".~%d~", n);
        std::string backup = path + buf;
        if (!file_exists(backup))
            return copy_file(path, backup);
    }
    return false;
}

bool valid_mode(std::string_view mode)
{
    return !mode.empty() && (mode[0] == 'r' || mode[0] == 'w' || mode[0] == 'a');
}

DataFilePtr wrap_stream(std::FILE* fp, bool writable)
{
    DataFilePtr f(std::make_unique<DataFile>().release());
    f->source.fp = fp;
    f->writable = writable;
    return f;
}

bool is_directory(std::FILE* fp)
{
    struct stat st;
    return ::fstat(fileno(fp), &st) == 0 && S_ISDIR(st.st_mode);
}

// Opens a stored member (or a whole loose file) for reading, through the gzip
// reader when gzip is set.
DataFilePtr open_member(const std::string& path, std::uint64_t offset, std::uint64_t size,
                        bool gzip)
{
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp)
        return nullptr;
    DataFilePtr f = wrap_stream(fp, false);
    f->source.base = offset;
    f->source.limit = size;
    if (offset != 0 && !f->source.rewind())
        return nullptr;
    if (gzip) {
        f->gzip = std::make_unique<GzipReader>();
        if (!f->gzip->start(f->source))
            return nullptr;
    }
    return f;
}

// Opens a plain path: the numbered backup for "~" modes, directories for
// write modes, and the ".gz"/".scram" variants for read modes.
DataFilePtr open_plain(const std::string& path, std::string_view mode)
{
    bool backup = !mode.empty() && mode[0] == '~';
    if (backup)
        mode.remove_prefix(1);
    if (!valid_mode(mode))
        return nullptr;
    bool reading = is_read_mode(mode);
    if (!reading)
        make_directories_for(path);
    if (backup && file_exists(path) && !make_backup(path))
        return nullptr;

    std::string mode_text(mode);
    if (mode[0] == 'w') {
        // A truncating write never touches the old file until the new one is
        // whole (atomic_file.h).
        auto replacement = std::make_unique<FileReplacement>(path, mode_text.c_str());
        if (!replacement->is_open())
            return nullptr;
        DataFilePtr f = wrap_stream(replacement->stream(), true);
        f->replacement = std::move(replacement);
        return f;
    }
    if (std::FILE* fp = std::fopen(path.c_str(), mode_text.c_str())) {
        if (!is_directory(fp))
            return wrap_stream(fp, !reading);
        std::fclose(fp);
        return nullptr;  // a folder of that name is no data file
    }
    if (!reading)
        return nullptr;
    for (std::string_view suffix : k_read_suffixes) {
        if (ends_with(suffix, ".scram"))
            continue;  // scrambled files are absent to us
        std::string variant = path + std::string(suffix);
        if (file_exists(variant))
            if (DataFilePtr f = open_member(variant, 0, k_unlimited, suffix == k_gz))
                return f;
    }
    return nullptr;
}

// Finds a name among the working set's entries (archive members and loose
// files whose name differs only in letter case) for reading.
DataFilePtr open_from_working_set(std::string_view rest)
{
    std::string name(rest);
    for (std::string_view suffix : {std::string_view(), k_read_suffixes[0], k_read_suffixes[1],
                                    k_read_suffixes[2]}) {
        if (ends_with(suffix, ".scram"))
            continue;
        for (const WorkingSetEntry& e : find_working_set_entries(name + std::string(suffix))) {
            // A loose file is read whole even if it changed size since the
            // list was made; an archive member is bounded to its stored size.
            bool loose = e.priority < search_folder_count();
            if (DataFilePtr f = open_member(e.path, loose ? 0 : e.offset,
                                            loose ? k_unlimited : e.size, suffix == k_gz))
                return f;
        }
    }
    return nullptr;
}

// Prepares the stream for a read after a write or the other way round, as C
// streams opened for update require.
void switch_to(DataFile& f, LastOp op)
{
    if (f.last_op != LastOp::none && f.last_op != op && !f.gzip && f.source.fp)
        fseeko(f.source.fp, 0, SEEK_CUR);
    f.last_op = op;
}

}  // namespace

namespace {

// Puts a replaced file in place when complete and nothing failed, else keeps
// the old file; either way the log tells when the new contents were lost.
bool finish_replacement(DataFile& f, bool complete)
{
    FileReplacement& r = *f.replacement;
    f.source.fp = nullptr;  // the replacement owns the stream
    if (!complete || f.write_failed) {
        platform::log_printf("Can't save \"%s\": %s; the old file is kept\n", r.target().c_str(),
                             f.write_failed ? "a write failed" : "the writer gave up");
        r.discard();
        return false;
    }
    if (!r.commit()) {
        platform::log_printf("Can't save \"%s\": %s; the old file is kept\n", r.target().c_str(),
                             r.error().c_str());
        return false;
    }
    return true;
}

}  // namespace

DataFile::~DataFile()
{
    gzip.reset();
    if (replacement)
        finish_replacement(*this, true);
    else if (source.fp)
        std::fclose(source.fp);
}

bool is_read_mode(std::string_view mode)
{
    if (!mode.empty() && mode[0] == '~')
        mode.remove_prefix(1);
    return mode.find('r') != std::string_view::npos && mode.find('+') == std::string_view::npos;
}

void close_data_file(DataFile* file)
{
    std::unique_ptr<DataFile> owned(file);
}

bool commit_data_file(DataFilePtr file, bool complete)
{
    if (!file)
        return false;
    if (file->replacement) {
        bool ok = finish_replacement(*file, complete);
        file->replacement.reset();
        return ok;
    }
    if (!file->writable)
        return complete;
    bool ok = complete && !file->write_failed && std::fflush(file->source.fp) == 0 &&
              !std::ferror(file->source.fp);
    int closed = std::fclose(file->source.fp);
    file->source.fp = nullptr;
    return ok && closed == 0;
}

bool save_data_file(std::string_view name, std::string_view bytes)
{
    DataFilePtr f = open_data_file(name, "wb");
    if (!f) {
        platform::log_printf("Can't open \"%.*s\" for writing\n", static_cast<int>(name.size()),
                             name.data());
        return false;
    }
    bool ok = bytes.empty() || write_bytes(*f, bytes.data(), bytes.size()) == bytes.size();
    return commit_data_file(std::move(f), ok);
}

DataFilePtr open_data_file(std::string_view name, std::string_view mode)
{
    if (name.empty() || name[0] != '@')
        return open_plain(std::string(name), mode);

    std::string_view rest = name.substr(1);
    for (const std::string& folder : search_folders()) {
        if (folder.size() + rest.size() > k_max_search_path)
            continue;
        if (DataFilePtr f = open_plain(folder + std::string(rest), mode))
            return f;
    }
    if (!is_read_mode(mode) || rest.empty())
        return nullptr;
    return open_from_working_set(rest);
}

DataFilePtr open_data_file_in_place(std::string_view name)
{
    auto open_path = [](const std::string& path) -> DataFilePtr {
        make_directories_for(path);
        std::FILE* fp = std::fopen(path.c_str(), "wb");
        if (!fp)
            return nullptr;
        if (is_directory(fp)) {
            std::fclose(fp);
            return nullptr;
        }
        return wrap_stream(fp, true);
    };
    if (name.empty() || name[0] != '@')
        return open_path(std::string(name));
    std::string_view rest = name.substr(1);
    if (rest.empty())
        return nullptr;
    for (const std::string& folder : search_folders()) {
        if (folder.size() + rest.size() > k_max_search_path)
            continue;
        if (DataFilePtr f = open_path(folder + std::string(rest)))
            return f;
    }
    return nullptr;
}

// ---- reading ----

std::size_t read_bytes(DataFile& f, void* out, std::size_t count)
{
    if (count == 0 || !f.source.fp)
        return 0;
    auto* dst = static_cast<std::uint8_t*>(out);
    std::size_t done = 0;
    if (f.pushed >= 0) {
        dst[done++] = static_cast<std::uint8_t>(f.pushed);
        f.pushed = -1;
    }
    if (done < count) {
        if (f.gzip) {
            std::size_t n = f.gzip->read(f.source, dst + done, count - done);
            f.delivered += n;
            done += n;
        } else {
            switch_to(f, LastOp::read);
            done += f.source.read(dst + done, count - done);
        }
    }
    return done;
}

int read_char(DataFile& f)
{
    if (f.pushed >= 0) {
        int c = f.pushed;
        f.pushed = -1;
        return c;
    }
    std::uint8_t c;
    if (!f.gzip && f.source.limit == k_unlimited && f.source.fp) {
        switch_to(f, LastOp::read);
        int r = std::getc(f.source.fp);
        if (r != EOF)
            ++f.source.consumed;
        return r == EOF ? -1 : r;
    }
    return read_bytes(f, &c, 1) == 1 ? c : -1;
}

void unread_char(DataFile& f, int c)
{
    if (c >= 0)
        f.pushed = c & 0xFF;
}

bool read_line(DataFile& f, char* buf, std::size_t size)
{
    if (!buf || size < 2) {
        if (buf && size == 1)
            buf[0] = '\0';
        return false;
    }
    std::size_t n = 0;
    while (n + 1 < size) {
        int c = read_char(f);
        if (c < 0)
            break;
        buf[n++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    buf[n] = '\0';
    return n > 0;
}

bool read_line(DataFile& f, std::string& line, std::size_t size)
{
    line.clear();
    if (size < 2)
        return false;
    while (line.size() + 1 < size) {
        int c = read_char(f);
        if (c < 0)
            break;
        line.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    return !line.empty();
}

long position(DataFile& f)
{
    std::uint64_t pos;
    if (f.gzip) {
        pos = f.delivered;
    } else if (f.source.limit != k_unlimited || !f.writable) {
        pos = f.source.consumed;
    } else {
        off_t at = f.source.fp ? ftello(f.source.fp) : -1;
        if (at < 0)
            return -1;
        pos = static_cast<std::uint64_t>(at);
    }
    if (f.pushed >= 0 && pos > 0)
        --pos;
    return pos > static_cast<std::uint64_t>(LONG_MAX) ? -1 : static_cast<long>(pos);
}

bool seek(DataFile& f, long offset)
{
    if (offset < 0 || !f.source.fp)
        return false;
    auto target = static_cast<std::uint64_t>(offset);
    if (f.gzip) {
        // Backwards means inflating again from the start; forwards skips.
        if (target < f.delivered) {
            if (!f.source.rewind() || !f.gzip->start(f.source))
                return false;
            f.delivered = 0;
        }
        f.pushed = -1;
        std::uint8_t scratch[1024];
        while (f.delivered < target) {
            auto want = static_cast<std::size_t>(
                std::min<std::uint64_t>(sizeof scratch, target - f.delivered));
            std::size_t n = f.gzip->read(f.source, scratch, want);
            f.delivered += n;
            if (n < want)
                return false;  // past the end of the data
        }
        return true;
    }
    if (f.source.limit != k_unlimited && target > f.source.limit)
        return false;
    if (f.source.base > static_cast<std::uint64_t>(INT64_MAX) - target)
        return false;
    if (fseeko(f.source.fp, static_cast<off_t>(f.source.base + target), SEEK_SET) != 0)
        return false;
    f.source.consumed = target;
    f.pushed = -1;
    f.last_op = LastOp::none;
    return true;
}

std::vector<std::uint8_t> read_all(DataFile& f)
{
    std::vector<std::uint8_t> out;
    std::uint8_t piece[16 * 1024];
    std::size_t n;
    while ((n = read_bytes(f, piece, sizeof piece)) > 0)
        out.insert(out.end(), piece, piece + n);
    return out;
}

bool read_data_file(std::string_view name, std::vector<std::uint8_t>& out)
{
    DataFilePtr f = open_data_file(name, "rb");
    if (!f)
        return false;
    out = read_all(*f);
    return true;
}

// ---- writing ----

namespace {

// Writes go to plain files opened for writing; a pushed-back character means
// the stream is one byte ahead of the handle's position, so step back first.
// A failed write is remembered, so that a replaced file is never put in place
// with a hole in it.
std::FILE* write_stream(DataFile& f)
{
    if (!f.writable || f.gzip || !f.source.fp)
        return nullptr;
    if (f.replacement)
        if (WriteProbe probe = write_probe(); probe && !probe(f.written)) {
            f.write_failed = true;
            return nullptr;
        }
    if (f.pushed >= 0) {
        f.pushed = -1;
        fseeko(f.source.fp, -1, SEEK_CUR);
        f.last_op = LastOp::none;
    }
    switch_to(f, LastOp::write);
    return f.source.fp;
}

// Counts what reached the stream and remembers a failure.
bool wrote(DataFile& f, bool ok, std::size_t count)
{
    if (ok)
        f.written += count;
    else
        f.write_failed = true;
    return ok;
}

}  // namespace

int write_char(DataFile& f, int c)
{
    std::FILE* fp = write_stream(f);
    if (!fp)
        return -1;
    int r = std::putc(c, fp);
    return wrote(f, r != EOF, 1) ? r : -1;
}

std::size_t write_bytes(DataFile& f, const void* data, std::size_t count)
{
    std::FILE* fp = write_stream(f);
    if (!fp || count == 0)
        return 0;
    std::size_t n = std::fwrite(data, 1, count, fp);
    wrote(f, n == count, n);
    return n;
}

bool write_text(DataFile& f, std::string_view text)
{
    if (text.empty())
        return write_stream(f) != nullptr;
    return write_bytes(f, text.data(), text.size()) == text.size();
}

int print(DataFile& f, const char* format, ...)
{
    std::FILE* fp = write_stream(f);
    if (!fp)
        return -1;
    va_list args;
    va_start(args, format);
    int n = std::vfprintf(fp, format, args);
    va_end(args);
    return wrote(f, n >= 0, n < 0 ? 0 : static_cast<std::size_t>(n)) ? n : -1;
}

bool flush(DataFile& f)
{
    if (!f.writable || f.gzip || !f.source.fp)
        return false;
    return wrote(f, std::fflush(f.source.fp) == 0, 0);
}

}  // namespace zv::core
