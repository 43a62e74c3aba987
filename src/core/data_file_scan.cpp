// Formatted reads from a data-file handle: the scanf conversions the text
// formats use, read character by character with one character of push-back,
// so members of archives and gzip data scan like loose files.
//
// Numbers follow the C library's stream scanning: the longest run of
// characters that could start a number is consumed, and the value is that of
// its longest valid prefix ("1e" reads 1, "0x" reads 0, a lone "-" fails and
// is consumed). Integers too large for their target are clamped to its range.
#include "core/data_file_internal.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>
#include <sys/types.h>

namespace zv::core {

namespace {

enum class Size { hh, h, none, l, ll, j, z, t, big_l };

// Reads through the handle and counts the characters consumed (for %n).
struct Input {
    DataFile& f;
    long count = 0;

    int get()
    {
        int c = read_char(f);
        if (c >= 0)
            ++count;
        return c;
    }
    void unget(int c)
    {
        if (c >= 0) {
            unread_char(f, c);
            --count;
        }
    }
    // Skips white space; false when the input ended.
    bool skip_space()
    {
        int c;
        while ((c = get()) >= 0 && std::isspace(c)) {
        }
        if (c < 0)
            return false;
        unget(c);
        return true;
    }
};

bool is_digit_in(int c, int base)
{
    if (c < 0)
        return false;
    if (base == 16)
        return std::isxdigit(c) != 0;
    if (base == 8)
        return c >= '0' && c <= '7';
    return c >= '0' && c <= '9';
}

// Collects the characters of an integer in the given base (0: decimal,
// octal with "0", hexadecimal with "0x"), at most width of them.
std::string collect_integer(Input& in, int& base, std::size_t width)
{
    std::string text;
    int c = in.get();
    auto take = [&]() {
        text.push_back(static_cast<char>(c));
        c = text.size() < width ? in.get() : -1;
    };
    auto left = [&]() { return text.size() < width; };
    if (c >= 0 && (c == '+' || c == '-'))
        take();
    if ((base == 0 || base == 16) && c == '0' && left()) {
        take();
        if ((c == 'x' || c == 'X') && left()) {
            take();
            base = 16;
        } else if (base == 0) {
            base = 8;
        }
    }
    if (base == 0)
        base = 10;
    while (is_digit_in(c, base) && left())
        take();
    in.unget(c);
    return text;
}

bool match_word(Input& in, std::string& text, const char* word, std::size_t width)
{
    for (const char* p = word; *p; ++p) {
        if (text.size() >= width)
            return false;
        int c = in.get();
        if (c < 0 || std::tolower(c) != *p) {
            in.unget(c);
            return false;
        }
        text.push_back(static_cast<char>(c));
    }
    return true;
}

// Collects the characters of a floating-point number, at most width.
std::string collect_float(Input& in, std::size_t width)
{
    std::string text;
    int c = in.get();
    auto left = [&]() { return text.size() < width; };
    auto take = [&]() {
        text.push_back(static_cast<char>(c));
        c = left() ? in.get() : -1;
    };
    if (c == '+' || c == '-')
        take();
    if (c >= 0 && (std::tolower(c) == 'i' || std::tolower(c) == 'n')) {
        in.unget(c);
        if (std::tolower(c) == 'i') {
            if (match_word(in, text, "inf", width))
                match_word(in, text, "inity", width);
        } else {
            match_word(in, text, "nan", width);
        }
        return text;
    }
    bool hex = false;
    if (c == '0' && left()) {
        take();
        if ((c == 'x' || c == 'X') && left()) {
            take();
            hex = true;
        }
    }
    int base = hex ? 16 : 10;
    bool digits = hex || (!text.empty() && text.back() == '0');  // the "0" of a prefix
    while (is_digit_in(c, base) && left()) {
        take();
        digits = true;
    }
    if (c == '.' && left()) {
        take();
        while (is_digit_in(c, base) && left()) {
            take();
            digits = true;
        }
    }
    // An exponent only follows a mantissa with digits ("e5" is no number).
    int exponent = hex ? 'p' : 'e';
    if (digits && c >= 0 && std::tolower(c) == exponent && left()) {
        take();
        if ((c == '+' || c == '-') && left())
            take();
        while (is_digit_in(c, 10) && left())
            take();
    }
    in.unget(c);
    return text;
}

locale_t c_locale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", nullptr);
    return loc;
}

template <typename T>
T clamp_to(long long v)
{
    if (v < static_cast<long long>(std::numeric_limits<T>::min()))
        return std::numeric_limits<T>::min();
    if (v > static_cast<long long>(std::numeric_limits<T>::max()))
        return std::numeric_limits<T>::max();
    return static_cast<T>(v);
}

// Unsigned targets: a negated value wraps around the target's width as in
// the C library ("-1" is the largest value, "-2" the one below); a positive
// value too large for the target is clamped to its largest value.
template <typename T>
T unsigned_to(unsigned long long v, bool negated)
{
    if (!negated && v > static_cast<unsigned long long>(std::numeric_limits<T>::max()))
        return std::numeric_limits<T>::max();
    return static_cast<T>(v);
}

void store_signed(va_list& args, Size size, long long v)
{
    switch (size) {
    case Size::hh: *va_arg(args, signed char*) = clamp_to<signed char>(v); break;
    case Size::h: *va_arg(args, short*) = clamp_to<short>(v); break;
    case Size::l: *va_arg(args, long*) = clamp_to<long>(v); break;
    case Size::ll:
    case Size::big_l: *va_arg(args, long long*) = v; break;
    case Size::j: *va_arg(args, intmax_t*) = v; break;
    case Size::z: *va_arg(args, ssize_t*) = clamp_to<ssize_t>(v); break;
    case Size::t: *va_arg(args, ptrdiff_t*) = clamp_to<ptrdiff_t>(v); break;
    default: *va_arg(args, int*) = clamp_to<int>(v); break;
    }
}

void store_unsigned(va_list& args, Size size, unsigned long long v, bool negated)
{
    switch (size) {
    case Size::hh: *va_arg(args, unsigned char*) = unsigned_to<unsigned char>(v, negated); break;
    case Size::h: *va_arg(args, unsigned short*) = unsigned_to<unsigned short>(v, negated); break;
    case Size::l: *va_arg(args, unsigned long*) = unsigned_to<unsigned long>(v, negated); break;
    case Size::ll:
    case Size::big_l: *va_arg(args, unsigned long long*) = v; break;
    case Size::j: *va_arg(args, uintmax_t*) = v; break;
    case Size::z: *va_arg(args, size_t*) = unsigned_to<size_t>(v, negated); break;
    case Size::t: *va_arg(args, ptrdiff_t*) = static_cast<ptrdiff_t>(v); break;
    default: *va_arg(args, unsigned*) = unsigned_to<unsigned>(v, negated); break;
    }
}

// The set of a "%[...]" conversion; p points after "[". Returns the format
// position after the closing "]", or null when it is missing.
const char* parse_scan_set(const char* p, bool (&set)[256])
{
    bool negate = false;
    if (*p == '^') {
        negate = true;
        ++p;
    }
    bool members[256] = {};
    if (*p == ']') {
        members[static_cast<unsigned char>(']')] = true;
        ++p;
    }
    while (*p && *p != ']') {
        auto first = static_cast<unsigned char>(*p);
        if (p[1] == '-' && p[2] && p[2] != ']' && static_cast<unsigned char>(p[2]) >= first) {
            for (int c = first; c <= static_cast<unsigned char>(p[2]); ++c)
                members[c] = true;
            p += 3;
        } else {
            members[first] = true;
            ++p;
        }
    }
    if (*p != ']')
        return nullptr;
    for (int c = 0; c < 256; ++c)
        set[c] = members[c] != negate;
    return p + 1;
}

int vscan(DataFile& f, const char* format, va_list& args)
{
    Input in{f};
    int assigned = 0;
    // The input ending before anything was assigned gives -1, as the C
    // library's stream scanning does (suppressed conversions do not count).
    auto input_failure = [&]() { return assigned > 0 ? assigned : -1; };

    for (const char* p = format; *p;) {
        auto fc = static_cast<unsigned char>(*p);
        if (std::isspace(fc)) {
            in.skip_space();
            ++p;
            continue;
        }
        if (fc != '%' || p[1] == '%') {
            if (fc == '%') {
                ++p;
                if (!in.skip_space())
                    return input_failure();
            }
            int c = in.get();
            if (c < 0)
                return input_failure();
            if (c != static_cast<unsigned char>(*p)) {
                in.unget(c);
                return assigned;
            }
            ++p;
            continue;
        }

        // A conversion: "%" [*] [width] [size] letter.
        ++p;
        bool suppress = false;
        if (*p == '*') {
            suppress = true;
            ++p;
        }
        std::size_t width = 0;
        while (*p >= '0' && *p <= '9') {
            width = std::min<std::size_t>(width * 10 + static_cast<std::size_t>(*p - '0'), INT_MAX);
            ++p;
        }
        Size size = Size::none;
        if (p[0] == 'h' && p[1] == 'h') {
            size = Size::hh;
            p += 2;
        } else if (p[0] == 'l' && p[1] == 'l') {
            size = Size::ll;
            p += 2;
        } else if (*p == 'h' || *p == 'l' || *p == 'j' || *p == 'z' || *p == 't' || *p == 'L' ||
                   *p == 'q') {
            size = *p == 'h' ? Size::h : *p == 'l' ? Size::l : *p == 'j' ? Size::j
                 : *p == 'z' ? Size::z : *p == 't' ? Size::t : *p == 'q' ? Size::ll : Size::big_l;
            ++p;
        }
        char conv = *p;
        if (!conv)
            return assigned;
        ++p;

        if (conv == 'n') {
            if (!suppress)
                store_signed(args, size, in.count);
            continue;
        }
        if (conv != 'c' && conv != '[' && !in.skip_space())
            return input_failure();
        std::size_t limit = width ? width : SIZE_MAX;

        switch (conv) {
        case 'd':
        case 'i':
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
            int base = conv == 'd' || conv == 'u' ? 10 : conv == 'i' ? 0 : conv == 'o' ? 8 : 16;
            std::string text = collect_integer(in, base, limit);
            if (text.empty())
                return assigned;
            char* end = nullptr;
            errno = 0;
            if (conv == 'd' || conv == 'i') {
                long long v = std::strtoll(text.c_str(), &end, base);
                if (end == text.c_str())
                    return assigned;
                if (!suppress)
                    store_signed(args, size, v);
            } else {
                unsigned long long v = std::strtoull(text.c_str(), &end, base);
                if (end == text.c_str())
                    return assigned;
                if (errno == ERANGE)
                    v = ULLONG_MAX;
                if (!suppress)
                    store_unsigned(args, size, v, text[0] == '-');
            }
            break;
        }
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'e':
        case 'E':
        case 'a':
        case 'A': {
            std::string text = collect_float(in, limit);
            char* end = nullptr;
            double d = 0;
            long double ld = 0;
            if (size == Size::big_l)
                ld = strtold_l(text.c_str(), &end, c_locale());
            else
                d = strtod_l(text.c_str(), &end, c_locale());
            if (end == text.c_str())
                return assigned;
            if (!suppress) {
                if (size == Size::big_l)
                    *va_arg(args, long double*) = ld;
                else if (size == Size::l)
                    *va_arg(args, double*) = d;
                else
                    *va_arg(args, float*) = static_cast<float>(d);
            }
            break;
        }
        case 's': {
            char* out = suppress ? nullptr : va_arg(args, char*);
            std::size_t n = 0;
            int c;
            while (n < limit && (c = in.get()) >= 0) {
                if (std::isspace(c)) {
                    in.unget(c);
                    break;
                }
                if (out)
                    out[n] = static_cast<char>(c);
                ++n;
            }
            if (out)
                out[n] = '\0';
            break;
        }
        case 'c': {
            char* out = suppress ? nullptr : va_arg(args, char*);
            std::size_t want = width ? width : 1;
            std::size_t n = 0;
            for (; n < want; ++n) {
                int c = in.get();
                if (c < 0)
                    break;
                if (out)
                    out[n] = static_cast<char>(c);
            }
            if (n == 0)
                return input_failure();
            break;  // a field cut short by the end still counts
        }
        case '[': {
            bool set[256];
            const char* after = parse_scan_set(p, set);
            if (!after)
                return assigned;
            p = after;
            char* out = suppress ? nullptr : va_arg(args, char*);
            std::size_t n = 0;
            int c = 0;
            while (n < limit && (c = in.get()) >= 0) {
                if (!set[c]) {
                    in.unget(c);
                    break;
                }
                if (out)
                    out[n] = static_cast<char>(c);
                ++n;
            }
            if (n == 0)
                return c < 0 ? input_failure() : assigned;
            if (out)
                out[n] = '\0';
            break;
        }
        default:
            return assigned;  // a conversion this reader does not know
        }
        if (!suppress)
            ++assigned;
    }
    return assigned;
}

}  // namespace

int scan(DataFile& f, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = vscan(f, format, args);
    va_end(args);
    return n;
}

int read_int(DataFile& f)
{
    int v = 0;
    return scan(f, "%d", &v) == 1 ? v : INT_MIN;
}

void skip_comments(DataFile& f)
{
    for (;;) {
        int c;
        while ((c = read_char(f)) >= 0 && std::isspace(c)) {
        }
        if (c != '#') {
            unread_char(f, c);
            return;
        }
        while ((c = read_char(f)) >= 0 && c != '\n') {
        }
    }
}

}  // namespace zv::core
