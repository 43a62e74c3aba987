// "zarvox --benchmark SECONDS": the default track with a rider in the gate
// and three more on the start straight, the chase camera flown along the
// course for that many seconds without sleeping, then
// "%d frames in %.2f seconds (%.1f fps)" on standard output.
#pragma once

namespace zv::app {

// Needs the window and GL context open and the renderer started
// (init_world_view). Loads the settings' track (or the first one), flies,
// prints, and returns the exit status (0; 1 when no track loads).
int run_benchmark(double seconds);

}  // namespace zv::app
