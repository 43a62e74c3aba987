#include "gen_desktop.h"

#include "gen_image.h"
#include "gen_util.h"

#include <string>

namespace zv::datagen {

namespace {

constexpr const char* k_desktop_entry =
    "[Desktop Entry]\n"
    "Type=Application\n"
    "Name=Zarvox\n"
    "GenericName=Motocross Racing\n"
    "Comment=Ride a physically simulated dirt bike on motocross tracks\n"
    "Exec=zarvox\n"
    "Icon=zarvox\n"
    "Terminal=false\n"
    "Categories=Game;SportsGame;\n"
    "Keywords=motocross;dirt bike;racing;simulator;\n";

// A dirt bike on a jump against an evening sky, drawn on a 256-unit square
// and scaled, so every size is the same picture.
Canvas draw_icon(int size)
{
    const float k = static_cast<float>(size) / 256.0f;
    // Sky: a vertical gradient; the rounded outline is cut at the end.
    Canvas c(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            c.at(x, y) = mix(rgb(40, 120, 200), rgb(250, 170, 80), static_cast<float>(y) / static_cast<float>(size));
    // The dirt: a jump face rising to the right.
    c.polygon({{0, 214 * k}, {120 * k, 214 * k}, {256 * k, 140 * k}, {256 * k, 256 * k}, {0, 256 * k}},
              rgb(120, 72, 36));
    // The bike, nose up over the lip.
    const Rgba tyre = rgb(25, 25, 25);
    const Rgba frame = rgb(235, 235, 235);
    const Rgba plastic = rgb(230, 40, 30);
    c.ring(74 * k, 168 * k, 30 * k, 11 * k, tyre);
    c.ring(182 * k, 126 * k, 30 * k, 11 * k, tyre);
    c.line(74 * k, 168 * k, 126 * k, 134 * k, 7 * k, frame);   // swingarm
    c.line(182 * k, 126 * k, 160 * k, 76 * k, 7 * k, frame);   // fork
    c.line(126 * k, 134 * k, 160 * k, 84 * k, 8 * k, frame);   // frame
    c.polygon({{96 * k, 112 * k}, {150 * k, 84 * k}, {170 * k, 80 * k}, {136 * k, 112 * k}}, plastic);  // tank
    c.line(84 * k, 116 * k, 128 * k, 100 * k, 9 * k, rgb(30, 30, 30));  // seat
    c.line(152 * k, 70 * k, 176 * k, 62 * k, 6 * k, tyre);  // handlebar
    // The rider, standing on the pegs.
    const Rgba suit = rgb(30, 60, 160);
    c.line(124 * k, 128 * k, 118 * k, 96 * k, 10 * k, suit);   // leg
    c.line(118 * k, 96 * k, 134 * k, 62 * k, 12 * k, suit);    // body
    c.line(134 * k, 66 * k, 162 * k, 68 * k, 8 * k, suit);     // arm
    c.fill_circle(140 * k, 48 * k, 14 * k, rgb(250, 220, 40));  // helmet

    Canvas outline(size, size);
    outline.fill_round_rect(8 * k, 8 * k, 248 * k, 248 * k, 40 * k, rgb(255, 255, 255));
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            c.at(x, y).a = outline.at(x, y).a;
    return c;
}

}  // namespace

std::vector<core::SafMember> desktop_files()
{
    std::vector<core::SafMember> files;
    files.push_back({"desktop/zarvox.desktop", to_bytes(k_desktop_entry)});
    for (int size : k_icon_sizes)
        files.push_back({"desktop/zarvox-" + std::to_string(size) + ".png", png_of(draw_icon(size), true)});
    return files;
}

}  // namespace zv::datagen
