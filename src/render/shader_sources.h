// GLSL source text of the seven programs (vertex and fragment stage each).
#pragma once

#include <string>

namespace zv::render {

struct ShaderSource {
    std::string vertex, fragment;
};
// slot 1 ... 7
ShaderSource shader_source(int slot);

}  // namespace zv::render
