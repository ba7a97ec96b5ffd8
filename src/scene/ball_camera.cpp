#include "scene/ball_camera.h"

#include <cmath>
#include <cstdint>
#include <utility>

#include "gl.h"
#include "mandelbrot/colour.h"
#include "random/random.h"

namespace {

// Three draws, in this order: value, saturation, hue. Saturation and value
// stay in [0.5, 1) so that no walker or path is dull.
void draw_object_colour(colour_rgba& colour)
{
    const double v = uniform_generator();
    const double s = uniform_generator();
    const double h = uniform_generator();
    hsv_to_rgb(h, 0.5 + 0.5 * s, 0.5 + 0.5 * v, &colour.r);
}

}  // namespace

ball_camera::ball_camera(stepping stepped_by)
    : distance(0.09), plane(saver_rectangle), texture(plane), walker_cursor(walkers.end()), worker_thread_id(0),
      step_count(0), worker_started(false), width(0), height(0), mode(stepped_by), outline_kept(false)
{
    texture.create_gl_texture();
    pitch = -90.0f;
    yaw = 90.0f;

    // One scratch colour for every object; hsv_to_rgb leaves its alpha alone.
    colour_rgba colour{0, 0, 0, 255};

    // Five draws per walker: its colour's three, then the imaginary and the
    // real part of its c.
    for (int i = 0; i < walker_count; ++i) {
        draw_object_colour(colour);
        const float im = static_cast<float>(random_between(saver_rectangle.im_min, saver_rectangle.im_max));
        const float re = static_cast<float>(random_between(saver_rectangle.re_min, saver_rectangle.re_max));
        walkers.push_back(std::make_unique<orbit_walker>(plane.bounds(), colour, re, im));
    }
    walker_cursor = walkers.begin();

    // Three draws per attempt here, then the path's own draws for its seed.
    for (int attempt = 0; attempt < path_attempts; ++attempt) {
        draw_object_colour(colour);
        auto path = std::make_unique<orbit_path>(colour);
        bool too_close = false;
        for (const auto& kept : paths)
            if (std::abs(path->start - kept->start) < 0.5f) {
                too_close = true;
                break;
            }
        if (!too_close)
            paths.push_back(std::move(path));
    }
}

ball_camera::~ball_camera()
{
    stop_worker();
    glDeleteTextures(1, &texture.texture_name);
}

void ball_camera::stop_worker()
{
    worker.stop();
}

void ball_camera::update_view(int new_width, int new_height)
{
    const double radius = (0.5 * new_height + 3.0 * new_height) * (1.0 - distance);
    const double p = camera_radians(pitch);
    const double q = camera_radians(yaw);
    x = static_cast<float>(0.5 * new_width - std::cos(q) * (std::cos(p) * radius));
    y = static_cast<float>(0.5 * new_height - std::sin(q) * (std::cos(p) * radius));
    z = static_cast<float>(-0.5 * new_height - std::sin(p) * radius);
}

void ball_camera::resize(int new_width, int new_height)
{
    width = new_width;
    height = new_height;
    outline_kept = false;
    texture.resize(new_width, new_height);
    update_view(new_width, new_height);

    // An empty window shows nothing; its size would turn every path into one
    // point for good (a path takes a resize from width 0 as its first), so
    // the orbit objects wait for a real size.
    if (new_width > 0 && new_height > 0) {
        for (auto& path : paths)
            path->resize(new_width, new_height);

        // The walkers are sized before the worker can first step them, so that
        // no step maps their positions with a window size of 0.
        std::lock_guard<scene_lock> guard(lock);
        for (auto& walker : walkers)
            walker->resize(new_width, new_height);
    }

    if (!worker_started) {
        if (mode == stepping::worker_thread) {
            worker_thread_id = worker.start(this);
        }
        worker_started = true;
    }
}

void ball_camera::take_frame()
{
    std::swap(orbits_before, orbits_drawn);
    // Only the copies under the lock: the worker's orbit step and the
    // texture's hand-over wait for them, not for the upload and drawing.
    std::lock_guard<scene_lock> guard(lock);
    lock.check_held();
    texture.take_published();
    orbits_drawn.capture(paths, walkers);
}

void ball_camera::draw()
{
    take_frame();
    texture.draw();
    orbits_drawn.draw(paths);
    outline_kept = false;
}

void ball_camera::step()
{
    const int phase = next_phase();
    step_plane(phase);
    step_orbits(phase);
}

int ball_camera::next_phase()
{
    // The count starts again at 1 after a whole number of cycles, years
    // before it could overflow, so that the phases run on unchanged.
    constexpr std::int32_t last_count = INT32_MAX / cycle_steps * cycle_steps;
    step_count = step_count == last_count ? 1 : step_count + 1;
    return step_count % cycle_steps;
}

void ball_camera::step_plane(int phase)
{
    // Outside the lock; the texture publishes its new image under it. The
    // look-ahead steps compose the coming picture column by column, so that
    // the whole pass has little left to compose.
    if (phase != 0) {
        plane.prepare_pass(phase / static_cast<double>(prepare_steps));
        texture.compose_ahead();
    } else {
        plane.advance_pass();
        recolour_handing_over(texture, lock);
    }
}

void ball_camera::step_orbits(int phase)
{
    std::lock_guard<scene_lock> guard(lock);
    lock.check_held();
    for (auto& path : paths)
        path->advance_window();

    for (auto it = walkers.begin(); it != walkers.end();) {
        if ((*it)->update()) {
            ++it;
            continue;
        }
        const auto following = std::next(it);
        if (walker_cursor == it)
            walker_cursor = following;
        walkers.erase(it);
        it = following;
    }

    if (phase != 0) {
        for (int i = 0; i < walkers_prepared_per_step && walker_cursor != walkers.end(); ++i) {
            (*walker_cursor)->point.prepare_next();
            ++walker_cursor;
        }
    } else {
        walker_cursor = walkers.begin();
    }
}
