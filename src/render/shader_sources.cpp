#include "render/shader_sources.h"

namespace zv::render {

namespace {

// Skinning and the lighting terms shared by slots 1 to 5. TANGENT adds the
// tangent from texture coordinate set 1; ENV passes the vertex colour.
const char* k_model_vertex = R"(
uniform int nbones;
uniform vec3 bone_c[10];
uniform vec3 bone_t[10];
uniform mat3 bone_r[10];
varying vec3 normal;
varying vec3 viewer;
varying vec4 diffuse;
varying vec4 ambient;
#ifdef TANGENT
varying vec3 tangent;
#endif
void main()
{
    vec3 p = gl_Vertex.xyz;
    vec3 n = gl_Normal;
    vec3 t = gl_MultiTexCoord1.xyz;
    if (nbones > 0) {
        vec3 sp = vec3(0.0);
        vec3 sn = vec3(0.0);
        vec3 st = vec3(0.0);
        for (int k = 0; k < 4; ++k) {
            float w = k == 0 ? gl_MultiTexCoord2.x : k == 1 ? gl_MultiTexCoord2.y : k == 2 ? gl_MultiTexCoord2.z : gl_MultiTexCoord2.w;
            float fb = k == 0 ? gl_MultiTexCoord3.x : k == 1 ? gl_MultiTexCoord3.y : k == 2 ? gl_MultiTexCoord3.z : gl_MultiTexCoord3.w;
            int b = int(fb + 0.5);
            if (w > 0.0 && b >= 0 && b < 10) {
                sp += w * (bone_r[b] * (p - bone_c[b]) + bone_t[b]);
                sn += w * (bone_r[b] * n);
                st += w * (bone_r[b] * t);
            }
        }
        p = sp;
        n = sn;
        t = st;
    }
    vec4 eye = gl_ModelViewMatrix * vec4(p, 1.0);
    gl_Position = gl_ProjectionMatrix * eye;
    normal = gl_NormalMatrix * n;
#ifdef TANGENT
    tangent = gl_NormalMatrix * t;
#endif
    viewer = eye.xyz / eye.w;
    gl_TexCoord[0] = gl_MultiTexCoord0;
#ifdef ENV
    diffuse = gl_Color;
    ambient = vec4(0.0);
#else
    diffuse = gl_FrontMaterial.diffuse * gl_LightSource[0].diffuse;
    ambient = gl_FrontMaterial.ambient * gl_LightSource[0].ambient + gl_LightModel.ambient * gl_FrontMaterial.ambient;
    ambient.a = min(ambient.a, 1.0);
#endif
}
)";

const char* k_fog = R"(
vec4 fogged(vec4 c)
{
    float z = gl_FragCoord.z / gl_FragCoord.w;
    float f = clamp(exp2(-1.4426950408889634 * gl_Fog.density * z), 0.0, 1.0);
    return vec4(mix(gl_Fog.color.rgb, c.rgb, f), c.a);
}
)";

// Per-pixel lighting; NMAP reads a normal map, SMAP a specular map.
const char* k_lit_fragment = R"(
uniform sampler2D tex;
#ifdef NMAP
uniform sampler2D nmap;
varying vec3 tangent;
#endif
#ifdef SMAP
uniform sampler2D smap;
#endif
varying vec3 normal;
varying vec3 viewer;
varying vec4 diffuse;
varying vec4 ambient;
void main()
{
    vec3 N = normalize(normal);
#ifdef NMAP
    vec3 m = texture2D(nmap, gl_TexCoord[0].st).xyz * 2.0 - 1.0;
    vec3 T = normalize(tangent - dot(tangent, N) * N);
    vec3 B = cross(N, T);
    N = normalize(T * m.x + B * m.y + N * m.z);
#endif
    vec3 L = normalize(gl_LightSource[0].position.xyz);
    float ndl = dot(N, L);
    float rdl = max(dot(reflect(normalize(viewer), N), L), 0.0);
    if (ndl < 0.0) {
        ndl = 0.0;
        rdl = 0.0;
    }
    vec4 texel = texture2D(tex, gl_TexCoord[0].st);
    vec4 c = (ambient + diffuse * ndl) * texel;
    // Opacity is the material's (a faded ghost's), as with fixed-function
    // lighting, not the lit sum.
    c.a = diffuse.a * texel.a;
    vec3 spec = gl_FrontMaterial.specular.rgb;
    float shine = gl_FrontMaterial.shininess;
#ifdef SMAP
    vec4 s = texture2D(smap, gl_TexCoord[0].st);
    float e = s.a * 128.0 + 0.125;
    spec = s.rgb;
    if (e < 127.875)
        shine = e;
#endif
    c.rgb += spec * gl_LightSource[0].specular.rgb * pow(rdl, shine);
    gl_FragColor = fogged(c);
}
)";

// Angular environment map, centre straight up.
const char* k_env_fragment = R"(
uniform sampler2D tex;
uniform mat3 envmat;
#ifdef NMAP
uniform sampler2D nmap;
varying vec3 tangent;
#endif
varying vec3 normal;
varying vec3 viewer;
varying vec4 diffuse;
varying vec4 ambient;
void main()
{
    vec3 N = normalize(normal);
#ifdef NMAP
    vec3 m = texture2D(nmap, gl_TexCoord[0].st).xyz * 2.0 - 1.0;
    vec3 T = normalize(tangent - dot(tangent, N) * N);
    vec3 B = cross(N, T);
    N = normalize(T * m.x + B * m.y + N * m.z);
#endif
    vec3 v = normalize(envmat * reflect(viewer, N));
    vec2 h = v.xz;
    float len = length(h);
    h = len > 0.0 ? h / len : vec2(0.0);
    vec2 st = h * acos(clamp(v.y, -1.0, 1.0)) * 0.15915494309189535 + 0.5;
    gl_FragColor = texture2D(tex, st) * diffuse;
}
)";

const char* k_terrain_normals_vertex = R"(
varying vec2 base_st;
void main()
{
    gl_Position = ftransform();
    gl_TexCoord[0] = gl_MultiTexCoord0;
    vec4 b = gl_TextureMatrix[1] * gl_Vertex;
    base_st = b.xy / b.w;
}
)";

const char* k_terrain_normals_fragment = R"(
uniform sampler2D tex;
uniform sampler2D base;
varying vec2 base_st;
void main()
{
    vec2 d = vec2(dFdx(gl_TexCoord[0].s), -dFdy(gl_TexCoord[0].s));
    float dl = length(d);
    d = dl > 0.0 ? d / dl : vec2(1.0, 0.0);
    mat2 rot = mat2(d.x, d.y, -d.y, d.x);
    vec4 tile = texture2D(tex, gl_TexCoord[0].st);
    vec3 tn = tile.xzy * 2.0 - 1.0;
    tn.x = -tn.x;
    vec2 h = rot * tn.xz;
    tn = vec3(h.x, tn.y, h.y);
    vec4 braw = texture2D(base, base_st);
    vec3 bn = braw.xyz * 2.0 - 1.0;
    bn.y = sqrt(max(1.0 - bn.x * bn.x - bn.z * bn.z, 0.0));
    vec3 bx = normalize(vec3(1.0, 0.0, 0.0) - bn * bn.x);
    vec3 bz = cross(bx, bn);
    vec3 n = bx * tn.x + bn * tn.y + bz * tn.z;
    float hl = length(n.xz);
    if (hl > 126.0 / 128.0) {
        n.y = 0.0;
        n *= (126.0 / 128.0) / hl;
    }
    vec3 o = (n + 1.0) * 0.5;
    gl_FragColor = vec4(o.x, braw.y, o.z, tile.a);
}
)";

const char* k_terrain_vertex = R"(
varying vec3 viewer;
varying vec4 diffuse;
varying vec4 ambient;
void main()
{
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    gl_Position = gl_ProjectionMatrix * eye;
    viewer = eye.xyz / eye.w;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_TexCoord[1] = gl_MultiTexCoord1;
    diffuse = gl_FrontMaterial.diffuse * gl_LightSource[0].diffuse;
    ambient = gl_FrontMaterial.ambient * gl_LightSource[0].ambient + gl_LightModel.ambient * gl_FrontMaterial.ambient;
    ambient.a = min(ambient.a, 1.0);
}
)";

const char* k_terrain_fragment = R"(
uniform sampler2D tex;
uniform sampler2D nmap;
uniform sampler2D smap;
varying vec3 viewer;
varying vec4 diffuse;
varying vec4 ambient;
void main()
{
    vec4 m = texture2D(nmap, gl_TexCoord[1].st);
    float len = m.y;
    vec3 n = m.xyz * 2.0 - 1.0;
    n.y = sqrt(max(1.0 - n.x * n.x - n.z * n.z, 0.0));
    vec3 N = normalize(gl_NormalMatrix * n);
    vec3 L = normalize(gl_LightSource[0].position.xyz);
    float ndl = dot(N, L);
    float rdl = max(dot(reflect(normalize(viewer), N), L), 0.0);
    if (ndl < 0.0) {
        ndl = 0.0;
        rdl = 0.0;
    }
    vec4 s = texture2D(smap, gl_TexCoord[0].st);
    vec4 c = (ambient + diffuse * ndl * len) * texture2D(tex, gl_TexCoord[0].st);
    c.rgb += s.r * gl_LightSource[0].specular.rgb * pow(rdl, s.g * 128.0 + 0.125) * len;
    gl_FragColor = fogged(c);
}
)";

// The texture coordinates come from the object planes of the fixed-function
// texture generation, so display lists of the ground keep working.
const char* k_ground_vertex = R"(
varying vec2 shade_st;
void main()
{
    gl_Position = ftransform();
    gl_TexCoord[0] = vec4(dot(gl_Vertex, gl_ObjectPlaneS[0]), dot(gl_Vertex, gl_ObjectPlaneT[0]), 0.0, 1.0);
    shade_st = vec2(dot(gl_Vertex, gl_ObjectPlaneS[1]), dot(gl_Vertex, gl_ObjectPlaneT[1]));
}
)";

const char* k_ground_fragment = R"(
uniform sampler2D tex;
uniform sampler2D shade;
varying vec2 shade_st;
void main()
{
    vec3 tile = texture2D(tex, gl_TexCoord[0].st).rgb;
    vec3 light = texture2D(shade, shade_st).rgb * 2.0;
    gl_FragColor = fogged(vec4(min(tile * light, 1.0), 1.0));
}
)";

std::string with(const char* defines, const char* body) { return std::string(defines) + body; }

}  // namespace

ShaderSource shader_source(int slot)
{
    const char* header = "#version 110\n";
    std::string fog = k_fog;
    switch (slot) {
    case 1:
        return {with(header, k_model_vertex), std::string(header) + fog + k_lit_fragment};
    case 2:
        return {std::string(header) + "#define ENV\n" + k_model_vertex, with(header, k_env_fragment)};
    case 3:
        return {std::string(header) + "#define TANGENT\n" + k_model_vertex,
                std::string(header) + "#define NMAP\n" + fog + k_lit_fragment};
    case 4:
        return {std::string(header) + "#define ENV\n#define TANGENT\n" + k_model_vertex,
                std::string(header) + "#define NMAP\n" + k_env_fragment};
    case 5:
        return {std::string(header) + "#define TANGENT\n" + k_model_vertex,
                std::string(header) + "#define NMAP\n#define SMAP\n" + fog + k_lit_fragment};
    case 6:
        return {with(header, k_terrain_normals_vertex), with(header, k_terrain_normals_fragment)};
    case 7:
        return {with(header, k_terrain_vertex), std::string(header) + fog + k_terrain_fragment};
    default:
        return {};
    }
}

ShaderSource ground_shader_source()
{
    const char* header = "#version 110\n";
    return {with(header, k_ground_vertex), std::string(header) + k_fog + k_ground_fragment};
}

}  // namespace zv::render
