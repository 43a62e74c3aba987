// The OpenGL context of the window: a compatibility-profile context, so the
// fixed-function pipeline and the ARB extensions stay available.
#pragma once

namespace zv::platform {

// Creates the context for the open window and makes it current. False, with
// the reason in the log, when there is no window or no context could be made.
bool create_gl_context();
void delete_gl_context();
bool gl_context_ready();

// An OpenGL entry point by name (nullptr when the driver has none).
void* gl_proc_address(const char* name);

}  // namespace zv::platform
