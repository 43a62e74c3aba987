#include "render/jm_format.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zv::render {

namespace {

void put_number(std::string& out, float v)
{
    char buf[32];
    if (v == 0.0f)
        v = 0.0f;  // no "-0"
    int n = std::snprintf(buf, sizeof buf, "%.6g", static_cast<double>(v));
    out.append(buf, static_cast<std::size_t>(n));
}

bool writable_name(std::string_view s)
{
    if (s.empty() || s.size() > 1023)
        return false;
    for (unsigned char c : s)
        if (std::isspace(c) || c == 0)
            return false;
    return true;
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    void skip_space()
    {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_])))
            ++at_;
    }
    std::string_view token()
    {
        skip_space();
        std::size_t start = at_;
        while (at_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[at_])))
            ++at_;
        return text_.substr(start, at_ - start);
    }
    bool number(float& out)
    {
        std::string_view t = token();
        if (t.empty() || t.size() > 64)
            return false;
        std::string s(t);
        char* end = nullptr;
        double v = std::strtod(s.c_str(), &end);
        if (end != s.c_str() + s.size() || !std::isfinite(v))
            return false;
        out = static_cast<float>(v);
        return true;
    }
    bool integer(long long& out)
    {
        std::string_view t = token();
        if (t.empty())
            return false;
        auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
        return ec == std::errc() && p == t.data() + t.size();
    }
    bool done()
    {
        skip_space();
        return at_ >= text_.size();
    }
    std::size_t mark() const { return at_; }
    void reset(std::size_t m) { at_ = m; }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

bool read_vertices_and_triangles(Reader& r, JmMesh& mesh, long long v, long long t, int bones)
{
    if (v < 0 || t < 0 || v > k_jm_max_vertices || t > k_jm_max_triangles)
        return false;
    mesh.vertices.resize(static_cast<std::size_t>(v));
    for (JmVertex& vert : mesh.vertices) {
        for (float& f : vert.position)
            if (!r.number(f))
                return false;
        for (float& f : vert.normal)
            if (!r.number(f))
                return false;
        for (float& f : vert.uv)
            if (!r.number(f))
                return false;
        vert.weights.resize(static_cast<std::size_t>(bones));
        for (float& f : vert.weights)
            if (!r.number(f))
                return false;
    }
    mesh.triangles.resize(static_cast<std::size_t>(t));
    for (auto& tri : mesh.triangles)
        for (int& i : tri) {
            long long n = 0;
            if (!r.integer(n) || n < -2147483647LL || n > 2147483647LL)
                return false;
            i = static_cast<int>(n);
        }
    return true;
}

}  // namespace

std::optional<std::string> write_jm(const JmModel& model)
{
    if (model.meshes.empty() || model.version < 0 || model.version > 2)
        return std::nullopt;
    int bones = model.version == 2 ? model.bone_count : 0;
    if (bones < 0 || bones > k_jm_max_bones)
        return std::nullopt;
    if (model.version == 0 && model.meshes.size() != 1)
        return std::nullopt;
    if (model.version == 2 && !writable_name(model.skeleton))
        return std::nullopt;
    std::string out;
    if (model.version == 1)
        out += "JM1\n";
    else if (model.version == 2)
        out += "JM2 " + std::to_string(bones) + " " + model.skeleton + "\n";
    for (const JmMesh& mesh : model.meshes) {
        std::size_t vcount = mesh.vertices.size();
        if (vcount == 0 || mesh.triangles.empty() || vcount > static_cast<std::size_t>(k_jm_max_vertices) ||
            mesh.triangles.size() > static_cast<std::size_t>(k_jm_max_triangles))
            return std::nullopt;
        if (model.version != 0) {
            for (std::size_t i = 0; i < 5; ++i) {
                if (i)
                    out += ' ';
                put_number(out, mesh.material[i]);
            }
            out += ' ';
        }
        out += std::to_string(vcount) + " " + std::to_string(mesh.triangles.size()) + "\n";
        for (const JmVertex& v : mesh.vertices) {
            if (v.weights.size() != static_cast<std::size_t>(bones))
                return std::nullopt;
            bool first = true;
            auto emit = [&](float f) {
                if (!first)
                    out += ' ';
                first = false;
                put_number(out, f);
            };
            for (float f : v.position)
                emit(f);
            for (float f : v.normal)
                emit(f);
            for (float f : v.uv)
                emit(f);
            for (float f : v.weights)
                emit(f);
            out += '\n';
        }
        for (const auto& tri : mesh.triangles) {
            for (int i : tri)
                if (i < 0 || static_cast<std::size_t>(i) >= vcount)
                    return std::nullopt;
            out += std::to_string(tri[0]) + " " + std::to_string(tri[1]) + " " + std::to_string(tri[2]) + "\n";
        }
    }
    return out;
}

std::optional<JmModel> read_jm(std::string_view text)
{
    Reader r(text);
    JmModel model;
    std::size_t start = r.mark();
    std::string_view head = r.token();
    if (head.size() >= 2 && head.substr(0, 2) == "JM") {
        long long version = 0;
        auto [p, ec] = std::from_chars(head.data() + 2, head.data() + head.size(), version);
        if (ec != std::errc() || p != head.data() + head.size() || (version != 1 && version != 2))
            return std::nullopt;
        model.version = static_cast<int>(version);
        if (version == 2) {
            long long k = 0;
            if (!r.integer(k) || k < 0 || k > k_jm_max_bones)
                return std::nullopt;
            std::string_view name = r.token();
            if (name.empty() || name.size() > 1023)
                return std::nullopt;
            model.bone_count = static_cast<int>(k);
            model.skeleton = std::string(name);
        } else {
            model.bone_count = 0;
        }
        while (!r.done()) {
            JmMesh mesh;
            long long v = 0, t = 0;
            bool ok = true;
            for (float& m : mesh.material)
                ok = ok && r.number(m);
            ok = ok && r.integer(v) && r.integer(t) &&
                 read_vertices_and_triangles(r, mesh, v, t, model.bone_count);
            if (!ok)
                break;
            model.meshes.push_back(std::move(mesh));
        }
    } else {
        r.reset(start);
        model.version = 0;
        model.bone_count = 0;
        JmMesh mesh;
        long long v = 0, t = 0;
        if (r.integer(v) && r.integer(t) && read_vertices_and_triangles(r, mesh, v, t, 0))
            model.meshes.push_back(std::move(mesh));
    }
    if (model.meshes.empty())
        return std::nullopt;
    return model;
}

}  // namespace zv::render
