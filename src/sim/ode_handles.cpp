#include "sim/ode_handles.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/log.h"

namespace zv::sim {

namespace {

// ODE's warnings (an LCP that did not converge and the like) go to the log,
// not to standard error.
void ode_message(int num, const char* msg, va_list ap)
{
    char text[512];
    std::vsnprintf(text, sizeof text, msg, ap);
    platform::log_printf("ODE message %d: %s", num, text);
}

}  // namespace

void ensure_ode()
{
    static std::once_flag once;
    std::call_once(once, [] {
        dInitODE2(0);
        dSetMessageHandler(ode_message);
    });
}

}  // namespace zv::sim
