// Game-data access: search folders, the working set of every data file,
// archives, and handles that read loose files, archive members and gzip data
// alike. A name beginning with "@" is looked up in the home folder, then the
// data folder, then (for reading) among the working set's entries, also with
// ".gz", ".scram" and ".gz.scram" appended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zv::core {

struct DataFile;  // opaque; see data_file.cpp

void close_data_file(DataFile* file);
struct DataFileCloser {
    void operator()(DataFile* file) const { close_data_file(file); }
};
using DataFilePtr = std::unique_ptr<DataFile, DataFileCloser>;

// mode is a C stream mode ("rb", "wb", "a", ...), optionally preceded by "~"
// (keep the old file as the first free numbered backup "<path>.~N~").
// Returns null when the name is nowhere or cannot be opened.
//
// A "w" mode never truncates the old file: the new contents are written to a
// temporary file beside it, which takes the old file's place only when the
// handle is committed or closed with every write successful (atomic_file.h).
// A crash, a kill or a full disk meanwhile leaves the old file whole.
DataFilePtr open_data_file(std::string_view name, std::string_view mode);

// A file written as it goes: the old file is truncated at once and every
// flush puts what was written so far on disk, so a recording cut short by a
// crash or a kill keeps everything flushed before it. For files that grow
// over a long time (demos); everything else wants the whole-or-nothing
// writes of open_data_file. "@" names go to the first search folder that
// takes them, as with open_data_file.
DataFilePtr open_data_file_in_place(std::string_view name);

// Finishes a file opened for writing and tells whether its contents are
// safely in place. With complete false (the writer failed on its own) or
// after any failed write, a file opened with a "w" mode is dropped and the
// old one stays. Failures are logged. Closing the handle without this does
// the same as committing it complete, without the answer.
bool commit_data_file(DataFilePtr file, bool complete = true);

// Writes bytes as the whole new contents of a data file ("@" names go to the
// home folder) and commits them: the one-call form for a file built in
// memory. Failures are logged; the old file stays.
bool save_data_file(std::string_view name, std::string_view bytes);

// ---- reading ----
int read_char(DataFile& f);                 // next byte, or -1 at the end
void unread_char(DataFile& f, int c);       // one byte of push-back
// Like fgets: at most size - 1 bytes, stopping after a line feed. False at end.
bool read_line(DataFile& f, char* buf, std::size_t size);
bool read_line(DataFile& f, std::string& line, std::size_t size = 1024);
std::size_t read_bytes(DataFile& f, void* out, std::size_t count);
// The scanf conversions the program uses: %d %i %u %x %f %g %e %lf %s %c %[..]
// %n, widths, "*" suppression, literal text and whitespace skipping. Returns
// the number of assignments, or -1 when the input ended before the first one.
int scan(DataFile& f, const char* format, ...) __attribute__((format(scanf, 2, 3)));
int read_int(DataFile& f);                  // INT_MIN when no integer follows
void skip_comments(DataFile& f);            // whitespace and "#" comments
bool seek(DataFile& f, long offset);        // offset from the file's (member's) start
long position(DataFile& f);
std::vector<std::uint8_t> read_all(DataFile& f);

// ---- writing (plain files only) ----
int write_char(DataFile& f, int c);
bool write_text(DataFile& f, std::string_view text);
std::size_t write_bytes(DataFile& f, const void* data, std::size_t count);
int print(DataFile& f, const char* format, ...) __attribute__((format(printf, 2, 3)));
bool flush(DataFile& f);

// Whole-file helpers.
bool read_data_file(std::string_view name, std::vector<std::uint8_t>& out);

// ---- locations ----
// The search folders, each ending in "/": the home folder first (when known),
// then ZV_HOME or the game data folder found from the executable's place
// (beside it, or the installed "share/zarvox/"). Computed on first use.
const std::vector<std::string>& search_folders();
std::string home_folder();                  // "" when there is none
std::string data_folder();                  // "" when there is none
bool create_home_folder();                  // the home folder's directory chain
bool make_directories_for(std::string_view path);  // every folder before the last "/"
void open_home_in_shell();

// ---- the working set ----
struct WorkingSetEntry {
    std::string name;       // path relative to its search folder, or member path
    std::string path;       // file to open: the loose file or the archive
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    int priority = 0;
};
const std::vector<std::string>& working_set();               // distinct names, sorted
const std::vector<WorkingSetEntry>& working_set_entries();  // every entry, sorted
void free_working_set();
// Forgets the search folders and the working set (tests; the folders are
// otherwise fixed for the life of the process).
void reset_data_files();

// Case-insensitive byte comparison used for the working set order.
int compare_names(std::string_view a, std::string_view b);

// Removes `to` and renames `from` to it; "@" names mean the home folder.
bool replace_data_file(std::string_view from, std::string_view to);

// Riding-gear and paint choices for a file-name prefix. Entry 0 is "default"
// with no file (nullptr). Strings are interned.
struct Variants {
    std::vector<const char*> files;
    std::vector<const char*> names;
};
Variants list_variants(std::string_view prefix);

// Creates the home folder, starts the log there and checks the reference
// archive "zzzz.saf" against the release digest.
bool data_folder_check();
extern const char* const k_reference_archive_digest;
// The same check against a given digest (40 hexadecimal digits).
bool data_folder_check_against(std::string_view hex_digest);
// True when the RIPEMD-160 of the file's first MiB (or of all of it, when
// shorter) equals hex_digest.
bool reference_archive_matches(const std::string& path, std::string_view hex_digest);

// Logs and (where the system can) sets the process working-set range.
void set_working_set_size();
// The (low, high) working-set range for so much physical memory; none below
// 64 MiB.
std::optional<std::pair<unsigned, unsigned>> working_set_range(std::uint64_t physical_bytes);

}  // namespace zv::core
