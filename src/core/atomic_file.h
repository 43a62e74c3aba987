// Replacing a file whole. The new contents go to a temporary file in the same
// folder, which is flushed to the disk and then renamed over the old file, so
// a crash, a kill or a full disk at any moment leaves either the old file or
// the new one, never a truncated mix. Data files opened with a "w" mode go
// through this (data_file.h); this header is for what needs it directly.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace zv::core {

class FileReplacement {
public:
    // Creates the temporary file beside `path` and opens it with the C
    // stream mode (a "w" mode); is_open() tells whether that worked.
    FileReplacement(std::string path, const char* mode);
    // Removes the temporary file unless it was committed.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    bool is_open() const { return fp_ != nullptr; }
    std::FILE* stream() const { return fp_; }
    const std::string& target() const { return target_; }
    const std::string& temporary() const { return temp_; }
    // Why the last step failed ("No space left on device"), "" when none did.
    const std::string& error() const { return error_; }

    // Flushes and syncs the new contents, closes them and renames them over
    // the target, then syncs the folder. False when any of that fails: the
    // temporary file is removed and the old file stays as it was.
    bool commit();
    // Drops the new contents; the old file stays.
    void discard();

private:
    bool fail(const char* step);

    std::string target_;
    std::string temp_;
    std::FILE* fp_ = nullptr;
    bool committed_ = false;
    std::string error_;
};

// For tests: called before every write to a file being replaced with the
// number of bytes already written to it; returning false makes that write
// fail as a full disk would (a probe may also sleep, to stretch a write out).
// nullptr removes it.
using WriteProbe = bool (*)(std::size_t written);
void set_write_probe(WriteProbe probe);
WriteProbe write_probe();

}  // namespace zv::core
