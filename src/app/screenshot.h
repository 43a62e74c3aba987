// Screenshots ("@screenshot%03d.png" in the home folder) and the video
// frames of "--record-video".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zv::app {

// One above the highest N of every name that begins "screenshot" followed by
// a number; 0 when there is none.
int next_screenshot_number(std::span<const std::string> names);

// Reads the frame being drawn (RGB) and writes the next screenshot; shows
// "Saved \"screenshotNNN.png\"" on success. The first call numbers from the
// working set, later ones count on.
bool save_screenshot(int width, int height);

// The frame's pixels as RGB rows from the top row down.
std::vector<std::uint8_t> read_frame_rgb(int width, int height);

// Writes "P6\n<w> <h>\n255\n" and the frame's rows to standard output.
void write_video_frame(int width, int height);
// The same frame text for given pixels (rows top down).
std::string video_frame_header(int width, int height);

}  // namespace zv::app
