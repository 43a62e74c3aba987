#include "render/font.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/data_file.h"
#include "platform/log.h"
#include "render/gl.h"

namespace zv::render {

namespace {

constexpr std::size_t k_max_line = 1023;
constexpr float k_default_cap_ratio = 0.73f;  // capitals of a typical sans serif, in em
constexpr float k_max_advance_cells = 4.0f;   // advances and em sizes beyond 4 cells are nonsense
// Em sizes and cap heights below a pixel would blow strings up beyond any
// screen.
constexpr float k_min_size = 1.0f;

std::vector<std::string_view> split_words(std::string_view line)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

std::optional<int> whole_number(std::string_view word)
{
    int v = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
    if (ec != std::errc() || end != word.data() + word.size())
        return std::nullopt;
    return v;
}

std::optional<float> real_number(std::string_view word)
{
    float v = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
    if (ec != std::errc() || end != word.data() + word.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// Reads the metrics entry by entry; a false return names the problem.
class MetricsReader {
public:
    bool entry(const std::vector<std::string_view>& w, std::string& problem)
    {
        const std::string_view key = w[0];
        const bool header = key == "cell" || key == "size" || key == "baseline" || key == "left" ||
                            key == "capheight";
        if (header && w.size() != 2) {
            problem = "\"" + std::string(key) + "\" wants one value";
            return false;
        }
        if (key == "cell") {
            if (m_.cell != 0) {
                problem = "cell size given twice";
                return false;
            }
            std::optional<int> v = whole_number(w[1]);
            if (!v || *v < 1 || *v > k_font_max_cell) {
                problem = "cell size out of range";
                return false;
            }
            m_.cell = *v;
            return true;
        }
        if ((header || key == "char") && m_.cell == 0) {
            problem = "\"" + std::string(key) + "\" before the cell size";
            return false;
        }
        const float max_size = k_max_advance_cells * static_cast<float>(m_.cell);
        if (key == "size" || key == "capheight") {
            std::optional<float> v = real_number(w[1]);
            float limit = key == "size" ? max_size : static_cast<float>(m_.cell);
            if (!v || !(*v >= k_min_size) || *v > limit) {
                problem = std::string(key) + " out of range";
                return false;
            }
            (key == "size" ? m_.size : m_.cap_height) = *v;
            (key == "size" ? have_size_ : have_cap_) = true;
            return true;
        }
        if (key == "baseline" || key == "left") {
            std::optional<int> v = whole_number(w[1]);
            if (!v || *v < 0 || *v > m_.cell) {
                problem = std::string(key) + " out of range";
                return false;
            }
            (key == "baseline" ? m_.baseline : m_.left) = *v;
            (key == "baseline" ? have_baseline_ : have_left_) = true;
            return true;
        }
        if (key == "char")
            return character(w, max_size, problem);
        return true;  // a newer entry this program does not know
    }

    bool required() const { return m_.cell > 0 && have_size_ && have_baseline_ && have_left_; }

    std::optional<FontMetrics> finish()
    {
        if (!required() || glyphs_ == 0)
            return std::nullopt;
        if (!have_cap_) {
            const FontGlyph& h = m_.glyphs['H'];
            if (h.present && h.y1 > h.y0 && h.y0 < m_.baseline)
                m_.cap_height = static_cast<float>(m_.baseline - h.y0);
            else
                m_.cap_height = k_default_cap_ratio * m_.size;
        }
        return m_;
    }

private:
    bool character(const std::vector<std::string_view>& w, float max_advance, std::string& problem)
    {
        if (!required()) {
            problem = "character before the cell layout";
            return false;
        }
        if (w.size() != 3 && w.size() != 7) {
            problem = "a character wants a code, an advance and maybe an ink box";
            return false;
        }
        std::optional<int> code = whole_number(w[1]);
        std::optional<float> advance = real_number(w[2]);
        if (!code || *code < 0 || *code > 255) {
            problem = "character code out of range";
            return false;
        }
        if (!advance || *advance < 0 || *advance > max_advance) {
            problem = "advance out of range";
            return false;
        }
        FontGlyph g;
        g.present = true;
        g.advance = *advance;
        g.x1 = g.y1 = m_.cell;
        if (w.size() == 7) {
            std::array<int, 4> box{};
            for (std::size_t i = 0; i < 4; ++i) {
                std::optional<int> v = whole_number(w[3 + i]);
                if (!v || *v < 0 || *v > m_.cell) {
                    problem = "ink box out of the cell";
                    return false;
                }
                box[i] = *v;
            }
            if (box[2] < box[0] || box[3] < box[1]) {
                problem = "ink box upside down";
                return false;
            }
            g.x0 = box[0];
            g.y0 = box[1];
            g.x1 = box[2];
            g.y1 = box[3];
        }
        FontGlyph& slot = m_.glyphs[static_cast<std::size_t>(*code)];
        glyphs_ += slot.present ? 0 : 1;
        slot = g;
        return true;
    }

    FontMetrics m_;
    bool have_size_ = false, have_baseline_ = false, have_left_ = false, have_cap_ = false;
    int glyphs_ = 0;
};

bool has_ink(const FontGlyph& g) { return g.x1 > g.x0 && g.y1 > g.y0; }

}  // namespace

FontParse parse_font_metrics(std::string_view text)
{
    FontParse out;
    MetricsReader reader;
    int number = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::string problem;
        if (line.size() > k_max_line) {
            problem = "line too long";
        } else {
            std::vector<std::string_view> words = split_words(line);
            if (words.empty() || words[0].front() == '#')
                continue;
            if (reader.entry(words, problem))
                continue;
        }
        out.stopped_at_line = number;
        out.problem = problem;
        break;
    }
    out.metrics = reader.finish();
    if (!out.metrics && out.problem.empty())
        out.problem = reader.required() ? "no characters" : "cell layout incomplete";
    return out;
}

int font_glyph_for(const FontMetrics& m, unsigned char c)
{
    if (m.glyphs[c].present)
        return c;
    if (m.glyphs['?'].present)
        return '?';
    return -1;
}

float font_text_width(const FontMetrics& m, std::string_view text, float pixel_height)
{
    if (!(m.size > 0) || !(pixel_height > 0) || !std::isfinite(pixel_height))
        return 0;
    float sum = 0;
    for (char c : text) {
        int g = font_glyph_for(m, static_cast<unsigned char>(c));
        if (g >= 0)
            sum += m.glyphs[static_cast<std::size_t>(g)].advance;
    }
    return sum * pixel_height / m.size;
}

float font_size_for_cap_height(const FontMetrics& m, float cap)
{
    if (!(m.cap_height > 0))
        return 0;
    return cap * m.size / m.cap_height;
}

std::vector<GlyphQuad> layout_font_text(const FontMetrics& m, float x, float baseline, float pixel_height,
                                        std::string_view text)
{
    std::vector<GlyphQuad> quads;
    if (!(m.size > 0) || m.cell <= 0 || !(pixel_height > 0) || !std::isfinite(pixel_height))
        return quads;
    const float k = pixel_height / m.size;
    const float picture = static_cast<float>(k_font_grid * m.cell);
    float pen = x;
    for (char ch : text) {
        int code = font_glyph_for(m, static_cast<unsigned char>(ch));
        if (code < 0)
            continue;
        const FontGlyph& g = m.glyphs[static_cast<std::size_t>(code)];
        if (has_ink(g)) {
            int bx0 = std::max(0, g.x0 - 1), by0 = std::max(0, g.y0 - 1);
            int bx1 = std::min(m.cell, g.x1 + 1), by1 = std::min(m.cell, g.y1 + 1);
            float cx = static_cast<float>((code % k_font_grid) * m.cell);
            float cy = static_cast<float>((code / k_font_grid) * m.cell);
            GlyphQuad q;
            q.x0 = pen + static_cast<float>(bx0 - m.left) * k;
            q.x1 = pen + static_cast<float>(bx1 - m.left) * k;
            q.y0 = baseline + static_cast<float>(by0 - m.baseline) * k;
            q.y1 = baseline + static_cast<float>(by1 - m.baseline) * k;
            q.s0 = (cx + static_cast<float>(bx0)) / picture;
            q.s1 = (cx + static_cast<float>(bx1)) / picture;
            q.t0 = (cy + static_cast<float>(by0)) / picture;
            q.t1 = (cy + static_cast<float>(by1)) / picture;
            quads.push_back(q);
        }
        pen += g.advance * k;
    }
    return quads;
}

std::optional<Font> load_font(std::string_view picture, std::string_view metrics_file)
{
    core::DataFilePtr file = core::open_data_file(metrics_file, "rb");
    if (!file) {
        platform::log_printf("Can't open font metrics \"%.900s\"\n", std::string(metrics_file).c_str());
        return std::nullopt;
    }
    // Bounded: the metrics of 256 characters are a few kilobytes.
    std::string text(k_font_max_text, '\0');
    text.resize(core::read_bytes(*file, text.data(), text.size()));
    file.reset();
    FontParse parsed = parse_font_metrics(text);
    if (parsed.stopped_at_line > 0)
        platform::log_printf("Warning: %.900s line %d: %s\n", std::string(metrics_file).c_str(),
                             parsed.stopped_at_line, parsed.problem.c_str());
    if (!parsed.metrics) {
        platform::log_printf("Can't use font metrics \"%.900s\": %s\n", std::string(metrics_file).c_str(),
                             parsed.problem.c_str());
        return std::nullopt;
    }
    TextureId texture = load_texture(picture);
    if (!texture) {
        platform::log_printf("Can't load font picture \"%.900s\"\n", std::string(picture).c_str());
        return std::nullopt;
    }
    Font font;
    font.metrics = *parsed.metrics;
    font.texture = texture;
    font.texture_name = texture_name(texture);
    return font;
}

bool font_usable(const Font& font)
{
    return font.texture != 0 && !font.texture_name.empty() && texture_name(font.texture) == font.texture_name;
}

void draw_font_text(const Font& font, float x, float baseline, float pixel_height, std::string_view text)
{
    if (!font_usable(font))
        return;
    // Whole pixels for the pen and the baseline keep the rows of every
    // string alike.
    std::vector<GlyphQuad> quads =
        layout_font_text(font.metrics, std::round(x), std::round(baseline), pixel_height, text);
    if (quads.empty())
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, font.texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBegin(GL_QUADS);
    for (const GlyphQuad& q : quads) {
        glTexCoord2f(q.s0, q.t0);
        glVertex2f(q.x0, q.y0);
        glTexCoord2f(q.s1, q.t0);
        glVertex2f(q.x1, q.y0);
        glTexCoord2f(q.s1, q.t1);
        glVertex2f(q.x1, q.y1);
        glTexCoord2f(q.s0, q.t1);
        glVertex2f(q.x0, q.y1);
    }
    glEnd();
    glPopAttrib();
}

}  // namespace zv::render
