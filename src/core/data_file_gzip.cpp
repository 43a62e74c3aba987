// Reading gzip-compressed data files in place: the gzip header is checked and
// skipped by hand, the deflate data is inflated raw by zlib into a small
// output buffer from which reads are served.
#include "core/data_file_internal.h"

#include <algorithm>
#include <cstring>

namespace zv::core {

namespace {

constexpr int k_gzip_id1 = 0x1F;
constexpr int k_gzip_id2 = 0x8B;
constexpr int k_method_deflate = 8;
constexpr int k_flag_header_crc = 2;
constexpr int k_flag_extra = 4;
constexpr int k_flag_name = 8;
constexpr int k_flag_comment = 16;
constexpr int k_flag_limit = 32;  // higher flag bits are reserved
constexpr int k_skipped_header_bytes = 6;  // time, extra flags, system
constexpr int k_raw_deflate_window = -15;

}  // namespace

std::size_t ByteSource::read(void* out, std::size_t count)
{
    if (!fp)
        return 0;
    if (limit != k_unlimited)
        count = static_cast<std::size_t>(std::min<std::uint64_t>(count, limit - consumed));
    if (count == 0)
        return 0;
    std::size_t got = std::fread(out, 1, count, fp);
    consumed += got;
    return got;
}

bool ByteSource::rewind()
{
    if (!fp || base > static_cast<std::uint64_t>(INT64_MAX))
        return false;
    if (fseeko(fp, static_cast<off_t>(base), SEEK_SET) != 0)
        return false;
    consumed = 0;
    return true;
}

GzipReader::~GzipReader()
{
    end_stream();
}

void GzipReader::end_stream()
{
    if (inflating_)
        inflateEnd(&zs_);
    inflating_ = false;
}

bool GzipReader::fill_input(ByteSource& source)
{
    in_pos_ = 0;
    in_len_ = source.read(in_.data(), in_.size());
    return in_len_ > 0;
}

int GzipReader::next_raw(ByteSource& source)
{
    if (in_pos_ >= in_len_ && !fill_input(source))
        return -1;
    return in_[in_pos_++];
}

bool GzipReader::start(ByteSource& source)
{
    end_stream();
    finished_ = false;
    in_pos_ = in_len_ = out_pos_ = out_len_ = 0;

    if (next_raw(source) != k_gzip_id1 || next_raw(source) != k_gzip_id2 ||
        next_raw(source) != k_method_deflate)
        return false;
    int flags = next_raw(source);
    if (flags < 0 || flags >= k_flag_limit)
        return false;
    for (int i = 0; i < k_skipped_header_bytes; ++i)
        if (next_raw(source) < 0)
            return false;
    if (flags & k_flag_extra) {
        int lo = next_raw(source);
        int hi = next_raw(source);
        if (lo < 0 || hi < 0)
            return false;
        for (int n = lo | (hi << 8); n > 0; --n)
            if (next_raw(source) < 0)
                return false;
    }
    for (int flag : {k_flag_name, k_flag_comment}) {
        if (!(flags & flag))
            continue;
        int c;
        while ((c = next_raw(source)) > 0) {
        }
        if (c < 0)
            return false;
    }
    if (flags & k_flag_header_crc)
        if (next_raw(source) < 0 || next_raw(source) < 0)
            return false;

    zs_ = z_stream{};
    if (inflateInit2(&zs_, k_raw_deflate_window) != Z_OK)
        return false;
    inflating_ = true;
    zs_.next_in = in_.data() + in_pos_;
    zs_.avail_in = static_cast<uInt>(in_len_ - in_pos_);
    return true;
}

bool GzipReader::inflate_more(ByteSource& source)
{
    while (!finished_) {
        if (zs_.avail_in == 0) {
            if (!fill_input(source)) {
                finished_ = true;  // the member ends inside the deflate data
                break;
            }
            zs_.next_in = in_.data();
            zs_.avail_in = static_cast<uInt>(in_len_);
        }
        zs_.next_out = out_.data();
        zs_.avail_out = static_cast<uInt>(out_.size());
        int rc = inflate(&zs_, Z_NO_FLUSH);
        out_pos_ = 0;
        out_len_ = out_.size() - zs_.avail_out;
        if (rc == Z_STREAM_END || (rc != Z_OK && rc != Z_BUF_ERROR))
            finished_ = true;  // the end of the data, or damage: stop here
        if (out_len_ > 0)
            return true;
    }
    end_stream();
    return false;
}

std::size_t GzipReader::read(ByteSource& source, void* out, std::size_t count)
{
    auto* dst = static_cast<std::uint8_t*>(out);
    std::size_t done = 0;
    while (done < count) {
        if (out_pos_ >= out_len_ && !inflate_more(source))
            break;
        std::size_t n = std::min(count - done, out_len_ - out_pos_);
        std::memcpy(dst + done, out_.data() + out_pos_, n);
        out_pos_ += n;
        done += n;
    }
    return done;
}

}  // namespace zv::core
