#include "app/view.h"
#include "app/multiplayer.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "app/editor.h"
#include "app/main_loop.h"
#include "app/menu.h"
#include "app/screenshot_png.h"
#include "app/view_font.h"
#include "app/world_view.h"
#include "core/data_file.h"
#include "platform/log.h"
#include "render/display_pictures.h"
#include "track/track.h"

namespace zv::app {

namespace {

struct Picture {
    render::DisplayPicture which;
    GLuint texture = 0;
};

std::array<Picture, 4> g_pictures = {{
    {render::DisplayPicture::tach},
    {render::DisplayPicture::shifter},
    {render::DisplayPicture::pit_board},
    {render::DisplayPicture::title},
}};
constexpr std::size_t k_title_picture = 3;


// The texture loader owns the pictures (loaded at start-up, kept for the run).
bool load_picture(Picture& p)
{
    p.texture = render::display_picture(p.which);
    return p.texture != 0;
}

void draw_plain_title(int width, int height)
{
    glDisable(GL_TEXTURE_2D);
    const std::string_view title = "ZARVOX";
    int scale = std::max(2, width / 80);
    float x = (width - text_width(title, scale)) * 0.5f;
    float y = height * 0.3f;
    glColor3f(0.05f, 0.1f, 0.15f);
    draw_text(x + scale, y + scale, scale, title);
    glColor3f(1.0f, 0.85f, 0.2f);
    draw_text(x, y, scale, title);
}

void draw_title(int width, int height)
{
    set_pixel_projection(width, height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const Picture& p = g_pictures[k_title_picture];
    if (!p.texture) {
        draw_plain_title(width, height);
        return;
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, p.texture);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0); glVertex2f(0, 0);
    glTexCoord2f(1, 0); glVertex2f(static_cast<float>(width), 0);
    glTexCoord2f(1, 1); glVertex2f(static_cast<float>(width), static_cast<float>(height));
    glTexCoord2f(0, 1); glVertex2f(0, static_cast<float>(height));
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

const char* view_name(ViewMode v)
{
    switch (v) {
    case ViewMode::rider: return "Rider view";
    case ViewMode::chase: return "Chase view";
    case ViewMode::track_camera: return "Track camera";
    case ViewMode::editor: return "Editor";
    case ViewMode::title: return "";
    }
    return "";
}

}  // namespace

void init_gl_state(bool flat_shading)
{
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.196078f, 0.6f, 0.8f, 0.0f);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (flat_shading)
        glShadeModel(GL_FLAT);
}

void load_display_pictures()
{
    load_font();
    for (Picture& p : g_pictures)
        if (!p.texture)
            load_picture(p);
}

void release_display_pictures()
{
    release_font();
    for (Picture& p : g_pictures)
        p.texture = 0;
}

void set_pixel_projection(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
}

void draw_view(Game& g, int width, int height, double longest_frame, bool hide_hud)
{
    if (g.view == ViewMode::title || !track::track_loaded())
        draw_title(width, height);
    else if (g.view == ViewMode::editor)
        draw_editor_view(g, width, height);
    else
        draw_world_view(g, width, height);
    // The information layer (message lines included) goes over every view,
    // so recorded video frames carry it and "--hidden-hud" hides it.
    if (!hide_hud)
        draw_info_layer_for(g, width, height, longest_frame);
}

void draw_overlays(Game& g, int width, int height, bool hide_pause_text)
{
    set_pixel_projection(width, height);
    const int scale = 2;
    // The view's name at the bottom left, where the rider view has its pit
    // board instead.
    if (g.view != ViewMode::title && g.view != ViewMode::rider) {
        glColor3f(1, 1, 0.6f);
        draw_text(8, static_cast<float>(height - 12 * scale), scale, view_name(g.view));
    }
    if (g.paused && !hide_pause_text) {
        const std::string_view text = "Paused";
        glColor3f(1, 1, 1);
        draw_text((width - text_width(text, 4)) * 0.5f, height * 0.4f, 4, text);
    }
    if (viewed_is_local(g) && g.connected && !multiplayer_has_place()) {
        const std::string_view text = "Warmup mode - collisions disabled";
        glColor3f(1, 1, 1);
        draw_text((width - text_width(text, 2)) * 0.5f, height * 0.3f, 2, text);
    }
    draw_menu(g, width, height);
}

void finish_frame(bool glfinish)
{
    if (glfinish)
        glFinish();
}

void draw_loading_screen(std::string_view text, int width, int height)
{
    draw_title(width, height);
    int scale = std::max(2, width / 320);
    float y = height * 0.75f;
    glColor3f(0, 0, 0);
    draw_text((width - text_width(text, scale)) * 0.5f + scale, y + scale, scale, text);
    glColor3f(1, 1, 1);
    draw_text((width - text_width(text, scale)) * 0.5f, y, scale, text);
}

}  // namespace zv::app
