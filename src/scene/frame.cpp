#include "scene/frame.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "gl.h"
#include "orbits/orbit_drawing.h"
#include "scene/ball_camera.h"

perspective_projection window_projection(std::int32_t width, std::int32_t height)
{
    // A zero-sized window would make the aspect or the angle zero or
    // infinite; it gets the projection of a 1 x 1 window instead (a single
    // side of 1 beside a long one could turn the angle negative).
    const bool empty = width <= 0 || height <= 0;
    const std::uint64_t w = empty ? 1 : static_cast<std::uint64_t>(width);
    const std::uint64_t h = empty ? 1 : static_cast<std::uint64_t>(height);
    // Unsigned 64-bit: the sum reaches 3 * (2^31 - 1)^2, above the signed range.
    const std::uint64_t n = w * w + 2 * h * h;
    const double s = std::sqrt(static_cast<double>(n));
    const float hf = static_cast<float>(h);
    const float ratio = hf / static_cast<float>(w);
    perspective_projection projection{};
    projection.aspect = 1.0 / ratio;
    // 114.59165581759555 is 360 / 3.14159, not 360 / pi.
    projection.fovy =
        std::atan(static_cast<double>(h) / (2.0 * (3.0 * hf - (0.4 * s - 0.5 * static_cast<double>(h))))) *
        114.59165581759555;
    return projection;
}

void reshape(std::int32_t width, std::int32_t height, ball_camera& scene)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const perspective_projection projection = window_projection(width, height);
    gluPerspective(projection.fovy, projection.aspect, 1.0, 10000000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const double w = width;
    const double h = height;
    gluLookAt(w / 2, h / 2, 3 * h, w / 2, h / 2, -h / 2, 0.0, 1.0, 0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene.resize(width, height);
}

namespace {

// At most this many boxes a frame: each costs a pass over the objects.
constexpr std::size_t most_boxes = 8;

// The frame's matrices, read once.
struct frame_matrices {
    GLdouble model[16];
    GLdouble projection[16];
    GLint viewport[4];

    frame_matrices()
    {
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
    }
    bool project(double x, double y, double& window_x, double& window_y) const
    {
        GLdouble wz = 0.0;
        return gluProject(x, y, 0.0, model, projection, viewport, &window_x, &window_y, &wz) == GL_TRUE &&
               std::isfinite(window_x) && std::isfinite(window_y);
    }
};

// Blending, smooth shading and polygon smoothing, as every frame draws.
void set_frame_state()
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_POLYGON_SMOOTH);
}

// What this frame draws, in window pixels, kept beside the last frame's.
void outline_frame(ball_camera& scene, const frame_matrices& m, const scene_projection& project)
{
    std::swap(scene.outline_before, scene.outline);
    frame_outline& now = scene.outline;
    now.window = {m.viewport[0], m.viewport[1], static_cast<long>(m.viewport[0]) + m.viewport[2],
                  static_cast<long>(m.viewport[1]) + m.viewport[3]};
    std::copy(m.model, m.model + 16, now.matrices);
    std::copy(m.projection, m.projection + 16, now.matrices + 16);
    now.plane_image = scene.texture.image_count;
    scissor_box plane_boxes[plane_texture::box_count];
    const int plane_count = scene.texture.place_boxes(project, plane_boxes);
    now.plane_whole = plane_count < 0;
    now.plane.assign(plane_boxes, plane_boxes + (plane_count < 0 ? 0 : plane_count));
    outline_orbits(project, scene.paths, scene.orbits_drawn, scene.rules, now);
}

// The boxes around what changed since the frame before, the overlay's
// among them; false when only a whole frame will do.
bool boxes_to_redraw(ball_camera& scene, const scene_projection& project, const pixel_box& overlay,
                     std::vector<pixel_box>& boxes)
{
    const frame_outline& now = scene.outline;
    const frame_outline& before = scene.outline_before;
    std::vector<pixel_box> damage;
    if (!scene.outline_kept || !changed_boxes(project, scene.paths, scene.orbits_before, before, scene.orbits_drawn,
                                              now, now.plane_image != before.plane_image, scene.rules, damage))
        return false;
    if (!overlay.empty())
        damage.push_back(overlay);
    return damage_boxes(damage, now.window, most_boxes, scene.rules.most_share, boxes);
}

// With keep_backdrop, the background is copied before the orbits are drawn
// over it, for the frames that will be drawn over this one.
void draw_whole(ball_camera& scene, bool keep_backdrop)
{
    const frame_outline& now = scene.outline;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene.texture.draw();
    if (keep_backdrop)
        scene.backdrop.capture(now.window, now.matrices, now.plane_image);
    scene.orbits_drawn.draw(scene.paths);
}

// The runs of a path's pieces that meet the box, each as a strip of its
// own: every segment is drawn on its own, so a part of the strip draws the
// same pixels as the whole strip does there.
void draw_path_pieces(const orbit_path& path, const orbit_path::strip_window& drawn, const frame_outline& outline,
                      std::size_t index, const pixel_box& box)
{
    const std::size_t first = outline.path_pieces_first[index];
    const std::size_t end = outline.path_pieces_first[index + 1];
    for (std::size_t p = first; p < end;) {
        if (!outline.path_pieces[p].meets(box)) {
            ++p;
            continue;
        }
        std::size_t q = p + 1;
        while (q < end && outline.path_pieces[q].meets(box))
            ++q;
        const int from = static_cast<int>(p - first) * frame_outline::piece_segments;
        const int to = std::min(static_cast<int>(q - first) * frame_outline::piece_segments, drawn.shown - 1);
        path.draw({drawn.first + from, drawn.colour_first + from, to - from + 1});
        p = q;
    }
}

// In every box under its scissor: the background the last whole frame drew
// (the plane has not changed since), then the paths and walkers whose boxes
// meet it, in the whole frame's order.
void draw_boxes(ball_camera& scene, const std::vector<pixel_box>& boxes)
{
    const orbit_picture& picture = scene.orbits_drawn;
    const frame_outline& outline = scene.outline;
    glEnable(GL_SCISSOR_TEST);
    for (const pixel_box& box : boxes) {
        glScissor(static_cast<GLint>(box.left), static_cast<GLint>(box.bottom),
                  static_cast<GLsizei>(box.right - box.left), static_cast<GLsizei>(box.top - box.bottom));
        scene.backdrop.draw();
        for (std::size_t i = 0; i < outline.paths.size(); ++i)
            if (outline.paths[i].meets(box))
                draw_path_pieces(*scene.paths[i], picture.path_windows[i], outline, i, box);
        for (std::size_t i = 0; i < outline.walkers.size(); ++i)
            if (outline.walkers[i].meets(box)) {
                const orbit_picture::walker_mark& w = picture.walkers[i];
                draw_walker(w.at, w.pulse, picture.trail.data() + w.trail_first,
                            picture.trail_colours.data() + w.trail_first, w.trail_count);
            }
    }
    glDisable(GL_SCISSOR_TEST);
}

}  // namespace

int render_frame(ball_camera& scene, buffer_holds before, const pixel_box& overlay, std::vector<pixel_box>* boxes_drawn)
{
    if (boxes_drawn)
        boxes_drawn->clear();
    set_frame_state();
    glPushMatrix();
    if (scene.width == 0 || scene.height == 0) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene.draw();
        glPopMatrix();
        return -1;
    }
    scene.apply();
    scene.take_frame();
    const frame_matrices m;
    const scene_projection project = [&m](double x, double y, double& window_x, double& window_y) {
        return m.project(x, y, window_x, window_y);
    };
    outline_frame(scene, m, project);
    const frame_outline& now = scene.outline;
    const bool over_last = before == buffer_holds::last_frame;
    const bool backdrop_kept = scene.backdrop.holds(now.window, now.matrices, now.plane_image);
    std::vector<pixel_box> boxes;
    const bool partial = over_last && backdrop_kept && boxes_to_redraw(scene, project, overlay, boxes);
    if (partial) {
        // The same bytes handed over again: uploaded, as every new image
        // is, with nothing of the picture to redraw.
        scene.texture.upload();
        draw_boxes(scene, boxes);
        if (boxes_drawn)
            *boxes_drawn = boxes;
    } else {
        draw_whole(scene, over_last && !backdrop_kept);
    }
    scene.outline_kept = true;
    glPopMatrix();
    return partial ? static_cast<int>(boxes.size()) : -1;
}

bool whole_frames_asked()
{
    const char* value = std::getenv("VELMORA_WHOLE_FRAMES");
    return value != nullptr && *value != '\0';
}

bool extension_listed(const char* list, const char* name)
{
    const std::size_t length = std::strlen(name);
    if (list == nullptr || length == 0)
        return false;
    for (const char* at = list; (at = std::strstr(at, name)) != nullptr; at += length)
        if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0'))
            return true;
    return false;
}

void keep_gl_driver_memory()
{
#ifdef __GLIBC__
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    mallopt(M_TOP_PAD, 16 << 20);
#endif
}
