// GLSL source text of the seven programs (vertex and fragment stage each).
#pragma once

#include <string>

namespace zv::render {

struct ShaderSource {
    std::string vertex, fragment;
};
// slot 1 ... 7
ShaderSource shader_source(int slot);
// The ground program: "tex" the tile texture on unit 0 at the coordinates
// of unit 0's object-linear planes, "shade" the shading texture on unit 1 at
// those of unit 1 (texels at half intensity), fog as in the model programs.
ShaderSource ground_shader_source();

}  // namespace zv::render
