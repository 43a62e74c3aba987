#include "core/loading_status.h"

#include "platform/log.h"

#include <cstdio>
#include <string>

namespace zv::core {

namespace {

constexpr double k_refresh_interval = 0.125;
constexpr std::size_t k_stage_chars = 64;

LoadingStatusSink g_sink;
std::string g_stage;
double g_last_refresh = -1.0;
int g_dots = 0;

void show(std::string_view text)
{
    if (g_sink)
        g_sink(text);
}

}  // namespace

void set_loading_status_sink(LoadingStatusSink sink) { g_sink = std::move(sink); }

void begin_loading_stage(std::string_view text)
{
    g_stage.assign(text.substr(0, k_stage_chars));
    g_dots = 0;
    g_last_refresh = platform::platform_seconds();
    show(g_stage);
    platform::log_printf("%.*s\n", static_cast<int>(text.size()), text.data());
}

void refresh_loading_stage()
{
    double now = platform::platform_seconds();
    if (now - g_last_refresh < k_refresh_interval)
        return;
    g_last_refresh = now;
    g_dots = (g_dots + 1) % 4;
    show(g_stage + std::string(static_cast<std::size_t>(g_dots), '.'));
}

void end_loading_stage() { show(g_stage + "...done"); }

}  // namespace zv::core
