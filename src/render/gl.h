// The OpenGL headers with the extension prototypes the renderer names.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>
