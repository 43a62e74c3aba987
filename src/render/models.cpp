#include "render/models.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "core/data_file.h"
#include "platform/log.h"

namespace zv::render {

namespace {

constexpr float k_tiny_determinant = 1.0f / (1 << 20);
constexpr float k_min_density_edge = 0.0625f;
constexpr int k_max_texture_limit = 8192;

struct V3 {
    float x, y, z;
};
V3 sub(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 scale(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }

V3 at3(const std::vector<float>& v, int i)
{
    std::size_t k = static_cast<std::size_t>(i) * 3;
    return {v[k], v[k + 1], v[k + 2]};
}

void put_weight(std::array<float, 4>& w, std::array<int, 4>& b, float weight, int bone, bool& overflow)
{
    int slot = 0;
    for (int k = 1; k < 4; ++k)
        if (w[static_cast<std::size_t>(k)] < w[static_cast<std::size_t>(slot)])
            slot = k;
    float& held = w[static_cast<std::size_t>(slot)];
    if (held != 0.0f)
        overflow = true;
    if (weight > held) {
        held = weight;
        b[static_cast<std::size_t>(slot)] = bone;
    }
}

void compute_tangents(Mesh& m)
{
    std::vector<float> sum(static_cast<std::size_t>(m.vertex_count) * 3, 0.0f);
    for (int t = 0; t < m.triangle_count; ++t) {
        int i0 = m.triangles[static_cast<std::size_t>(t) * 3];
        int i1 = m.triangles[static_cast<std::size_t>(t) * 3 + 1];
        int i2 = m.triangles[static_cast<std::size_t>(t) * 3 + 2];
        V3 p0 = at3(m.positions, i0), p1 = at3(m.positions, i1), p2 = at3(m.positions, i2);
        float u0 = m.uvs[static_cast<std::size_t>(i0) * 2], v0 = m.uvs[static_cast<std::size_t>(i0) * 2 + 1];
        float u1 = m.uvs[static_cast<std::size_t>(i1) * 2], v1 = m.uvs[static_cast<std::size_t>(i1) * 2 + 1];
        float u2 = m.uvs[static_cast<std::size_t>(i2) * 2], v2 = m.uvs[static_cast<std::size_t>(i2) * 2 + 1];
        V3 e1 = sub(p1, p0), e2 = sub(p2, p0);
        float du1 = u1 - u0, dv1 = v1 - v0, du2 = u2 - u0, dv2 = v2 - v0;
        float det = du1 * dv2 - du2 * dv1;
        V3 tangent;
        if (std::fabs(det) < k_tiny_determinant) {
            V3 first = e1, third = sub(p0, p2);
            V3 longer = dot(first, first) >= dot(third, third) ? first : third;
            float len = std::sqrt(dot(longer, longer));
            tangent = len > 0 ? scale(longer, k_tiny_determinant / len) : V3{0, 0, 0};
        } else {
            // Position change per unit u; dividing by |det| keeps the
            // handedness on mirrored mappings.
            tangent = scale(sub(scale(e1, dv2), scale(e2, dv1)), 1.0f / std::fabs(det));
        }
        for (int i : {i0, i1, i2}) {
            std::size_t k = static_cast<std::size_t>(i) * 3;
            sum[k] += tangent.x;
            sum[k + 1] += tangent.y;
            sum[k + 2] += tangent.z;
        }
    }
    for (int i = 0; i < m.vertex_count; ++i) {
        V3 s = at3(sum, i);
        float len = std::sqrt(dot(s, s));
        V3 t = len > 0 && std::isfinite(len) ? scale(s, 1.0f / len) : V3{1, 0, 0};
        std::size_t k = static_cast<std::size_t>(i) * 3;
        sum[k] = t.x;
        sum[k + 1] = t.y;
        sum[k + 2] = t.z;
    }
    m.tangents = std::move(sum);
}

void compute_density(Mesh& m)
{
    for (int t = 0; t < m.triangle_count; ++t)
        for (int e = 0; e < 3; ++e) {
            int a = m.triangles[static_cast<std::size_t>(t) * 3 + e];
            int b = m.triangles[static_cast<std::size_t>(t) * 3 + (e + 1) % 3];
            V3 d = sub(at3(m.positions, a), at3(m.positions, b));
            float len = std::sqrt(dot(d, d));
            if (!(len >= k_min_density_edge))
                continue;
            float du = std::fabs(m.uvs[static_cast<std::size_t>(a) * 2] - m.uvs[static_cast<std::size_t>(b) * 2]);
            float dv = std::fabs(m.uvs[static_cast<std::size_t>(a) * 2 + 1] - m.uvs[static_cast<std::size_t>(b) * 2 + 1]);
            m.density_u = std::max(m.density_u, du / len);
            m.density_v = std::max(m.density_v, dv / len);
        }
}

bool iequal(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

struct Cache {
    std::vector<std::unique_ptr<Model>> models;
    int generation = 0;
    std::uint32_t next_id = 1;
};

Cache& cache()
{
    static Cache c;
    return c;
}

Model* find_cached(std::string_view name)
{
    for (auto& m : cache().models)
        if (m->name == name)
            return m.get();
    for (auto& m : cache().models)
        if (iequal(m->name, name)) {
            platform::log_printf("Warning: case mismatch on '%.900s'\n", std::string(name).c_str());
            return m.get();
        }
    return nullptr;
}

Model* read_model_file(std::string_view name)
{
    core::DataFilePtr f = core::open_data_file(name, "rb");
    if (!f)
        return nullptr;
    std::vector<std::uint8_t> bytes = core::read_all(*f);
    std::optional<JmModel> file = read_jm(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!file)
        return nullptr;
    int degenerate = 0;
    auto model = std::make_unique<Model>(build_model(*file, name, degenerate));
    if (degenerate > 0)
        platform::log_printf("%d degenerate triangles deleted in %.100s\n", degenerate, std::string(name).c_str());
    if (model->meshes.empty())
        return nullptr;
    Cache& c = cache();
    model->id = c.next_id++;
    model->name = std::string(name);
    model->generation = c.generation;
    c.models.push_back(std::move(model));
    return c.models.back().get();
}

void load_lod_variants(Model& model)
{
    std::string_view name = model.name;
    if (name.empty() || name.front() != '@')
        return;
    std::string_view path = name.substr(1);
    std::size_t dot = path.rfind('.');
    std::size_t slash = path.rfind('/');
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash))
        path = path.substr(0, dot);
    std::vector<std::string> seen;
    for (const std::string& file : core::working_set()) {
        int number = lod_number(file, path);
        if (number < 0 || number > 30)
            continue;
        std::string plain = file;
        if (plain.size() > 3 && plain.compare(plain.size() - 3, 3, ".gz") == 0)
            plain.resize(plain.size() - 3);
        if (std::find(seen.begin(), seen.end(), plain) != seen.end())
            continue;
        seen.push_back(plain);
        Model* variant = find_cached("@" + plain);
        if (!variant)
            variant = read_model_file("@" + plain);
        if (variant && variant != &model)
            insert_lod(model, {static_cast<float>(1u << number), variant});
    }
}

}  // namespace

Model build_model(const JmModel& file, std::string_view name, int& degenerate)
{
    Model model;
    degenerate = 0;
    for (const JmMesh& src : file.meshes) {
        Mesh m;
        m.vertex_count = static_cast<int>(src.vertices.size());
        m.bone_weights = file.version == 2 ? file.bone_count : 0;
        if (file.version == 0) {
            m.colour = {1, 1, 1, 1};
            m.m1 = 32;
        } else {
            m.material = src.material;
            m.m1 = src.material[0];
            m.colour = {src.material[2], src.material[3], src.material[4], m.m1 >= 0 ? 1.0f : src.material[1]};
        }
        if (m.m1 == -1.0f)
            model.env_flag = true;
        std::size_t v = src.vertices.size();
        m.positions.reserve(v * 3);
        m.normals.reserve(v * 3);
        m.uvs.reserve(v * 2);
        bool overflow = false;
        for (const JmVertex& vert : src.vertices) {
            m.positions.insert(m.positions.end(), vert.position.begin(), vert.position.end());
            m.normals.insert(m.normals.end(), vert.normal.begin(), vert.normal.end());
            m.uvs.push_back(vert.uv[0]);
            m.uvs.push_back(1.0f - vert.uv[1]);
            float r = std::sqrt(vert.position[0] * vert.position[0] + vert.position[1] * vert.position[1] +
                                vert.position[2] * vert.position[2]);
            if (std::isfinite(r))
                model.radius = std::max(model.radius, r);
            if (m.skinned()) {
                std::array<float, 4> w{};
                std::array<int, 4> b{};
                for (std::size_t l = 0; l < vert.weights.size(); ++l)
                    if (vert.weights[l] > 0)
                        put_weight(w, b, vert.weights[l], static_cast<int>(l), overflow);
                float sum = w[0] + w[1] + w[2] + w[3];
                for (float& x : w)
                    x = sum > 0 ? x / sum : 0.25f;
                m.weights.insert(m.weights.end(), w.begin(), w.end());
                m.bone_indices.insert(m.bone_indices.end(), b.begin(), b.end());
            }
        }
        if (overflow)
            platform::log_printf("Warning: vertex with more than 4 bone influences in '%.900s'\n",
                                 std::string(name).c_str());
        for (const auto& tri : src.triangles) {
            bool inside = true;
            for (int i : tri)
                inside = inside && i >= 0 && i < m.vertex_count;
            bool spans = false;
            if (inside && tri[0] != tri[1] && tri[1] != tri[2] && tri[0] != tri[2]) {
                V3 p0 = at3(m.positions, tri[0]), p1 = at3(m.positions, tri[1]), p2 = at3(m.positions, tri[2]);
                V3 n = cross(sub(p1, p0), sub(p2, p0));
                spans = dot(n, n) > 0.0f;
            }
            if (!spans) {
                ++degenerate;
                continue;
            }
            m.triangles.insert(m.triangles.end(), tri.begin(), tri.end());
        }
        m.triangle_count = static_cast<int>(m.triangles.size() / 3);
        compute_tangents(m);
        if (m.skinned()) {
            m.bind_positions = m.positions;
            m.bind_normals = m.normals;
            m.bind_tangents = m.tangents;
        }
        compute_density(m);
        model.meshes.push_back(std::move(m));
    }
    // Each mesh carries the larger of its own and its followers' figures.
    for (std::size_t i = model.meshes.size(); i-- > 1;) {
        Mesh& a = model.meshes[i - 1];
        a.density_u = std::max(a.density_u, model.meshes[i].density_u);
        a.density_v = std::max(a.density_v, model.meshes[i].density_v);
    }
    if (!model.meshes.empty()) {
        model.density_u = model.meshes.front().density_u;
        model.density_v = model.meshes.front().density_v;
    }
    return model;
}

void insert_lod(Model& model, LodVariant variant)
{
    auto it = std::find_if(model.lods.begin(), model.lods.end(),
                           [&](const LodVariant& l) { return !(l.switch_value < variant.switch_value); });
    model.lods.insert(it, variant);
}

int lod_number(std::string_view file, std::string_view base)
{
    if (file.size() < base.size() + 5 || file.compare(0, base.size(), base) != 0)
        return -1;
    std::string_view rest = file.substr(base.size());
    if (rest.compare(0, 4, "_lod") != 0)
        return -1;
    rest.remove_prefix(4);
    int n = 0;
    std::size_t digits = 0;
    while (digits < rest.size() && std::isdigit(static_cast<unsigned char>(rest[digits])) && digits < 6)
        n = n * 10 + (rest[digits++] - '0');
    if (digits == 0 || digits >= rest.size())
        return -1;  // a number and then more text (an extension)
    return n;
}

const Model& pick_lod(const Model& model, float distance, float unit)
{
    const Model* pick = &model;
    for (const LodVariant& l : model.lods)
        if (l.model && l.switch_value * unit <= distance)
            pick = l.model;
    return *pick;
}

Model& pick_lod(Model& model, float distance, float unit)
{
    return const_cast<Model&>(pick_lod(static_cast<const Model&>(model), distance, unit));
}

namespace {
float g_lod_scale = 1.0f, g_lod_bias = 0.0f;
}  // namespace

void set_model_detail(float lod_scale, float lod_bias)
{
    g_lod_scale = lod_scale;
    g_lod_bias = lod_bias;
}

float model_detail_distance(float distance) { return distance * g_lod_scale + g_lod_bias; }

Model& detail_variant(Model& model, float distance)
{
    return pick_lod(model, model_detail_distance(distance), k_lod_switch_feet);
}

Model* load_model(std::string_view name)
{
    if (name.empty())
        return nullptr;
    if (Model* hit = find_cached(name)) {
        hit->generation = cache().generation;
        for (LodVariant& l : hit->lods)
            if (l.model)
                l.model->generation = cache().generation;
        return hit;
    }
    Model* model = read_model_file(name);
    if (model)
        load_lod_variants(*model);
    return model;
}

Model* load_model_variant(std::string_view name, std::string_view alternative, bool warn)
{
    if (alternative.empty()) {
        Model* m = load_model(name);
        if (!m && warn)
            platform::log_printf("Warning: Can't load %.900s\n", std::string(name).c_str());
        return m;
    }
    std::string first;
    std::size_t slash = name.rfind('/');
    std::size_t alt_slash = alternative.rfind('/');
    std::string_view file_part = alt_slash == std::string_view::npos ? alternative.substr(alternative.front() == '@' ? 1 : 0)
                                                                     : alternative.substr(alt_slash + 1);
    if (slash != std::string_view::npos)
        first.assign(name.substr(0, slash + 1));
    else if (!name.empty() && name.front() == '@')
        first.assign("@");
    first.append(file_part);
    if (Model* m = load_model(first))
        return m;
    if (Model* m = load_model(alternative))
        return m;
    if (warn)
        platform::log_printf("Warning: Can't load %.450s or %.450s\n", first.c_str(), std::string(alternative).c_str());
    return nullptr;
}

Model* model_by_id(std::uint32_t id)
{
    for (auto& m : cache().models)
        if (m->id == id)
            return m.get();
    return nullptr;
}

void advance_model_generation() { ++cache().generation; }
int model_generation() { return cache().generation; }
int model_count() { return static_cast<int>(cache().models.size()); }

void free_model_lists(Model& model);  // model_draw.cpp

void release_models(bool all)
{
    Cache& c = cache();
    std::vector<std::unique_ptr<Model>> keep;
    std::vector<Model*> gone;
    for (auto& m : c.models) {
        if (all || m->generation != c.generation) {
            free_model_lists(*m);
            gone.push_back(m.get());
        }
    }
    for (auto& m : c.models)
        for (LodVariant& l : m->lods)
            if (std::find(gone.begin(), gone.end(), l.model) != gone.end())
                l.model = nullptr;
    for (auto& m : c.models)
        if (std::find(gone.begin(), gone.end(), m.get()) == gone.end())
            keep.push_back(std::move(m));
    c.models = std::move(keep);
}

int model_texture_limit(const Model& model, float distance, int screen_height, float half_extent_v)
{
    float density = std::max(model.density_u, model.density_v);
    if (density <= 0 || distance <= 0 || half_extent_v <= 0)
        return k_max_texture_limit;
    // Pixels per foot at that distance, divided by the texture's share of
    // a foot.
    float pixels_per_foot = static_cast<float>(screen_height) / (2.0f * half_extent_v * distance);
    float edge = pixels_per_foot / density;
    int limit = 1;
    while (limit < edge && limit < k_max_texture_limit)
        limit *= 2;
    return limit;
}

}  // namespace zv::render
