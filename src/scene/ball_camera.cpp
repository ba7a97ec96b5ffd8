#include "scene/ball_camera.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>

#include "plane/colour.h"
#include "random/random.h"

ball_camera::ball_camera(stepping mode)
    : distance(0.09),
      plane(-2.1f, -1.2f, 0.8f, 1.2f),
      texture(plane),
      walker_cursor(walkers.end()),
      worker_thread_id(0),
      step_count(0),
      worker_started(false),
      width(0),
      height(0),
      mode(mode),
      stop_requested(false),
      last_step_us(0)
{
    texture.create_gl_texture();
    pitch = -90.0f;
    yaw = 90.0f;

    // One scratch colour for every object; hsv_to_rgb leaves its alpha alone.
    colour_rgba colour{0, 0, 0, 255};
    std::uint8_t* rgb = &colour.r;

    // Five draws per walker, in this order: value, saturation, hue,
    // imaginary part, real part.
    for (int i = 0; i < walker_count; ++i) {
        const double v = uniform_generator();
        const double s = uniform_generator();
        const double h = uniform_generator();
        hsv_to_rgb(h, 0.5 + 0.5 * s, 0.5 + 0.5 * v, rgb);
        const float im = static_cast<float>(2.4 * uniform_generator() - 1.2);
        // 2.9000000000000004 is the double 0.8 - (-2.1).
        const float re = static_cast<float>(2.9000000000000004 * uniform_generator() - 2.1);
        walkers.push_back(std::make_unique<orbit_walker>(plane, colour, re, im));
    }
    walker_cursor = walkers.begin();

    // Three draws per attempt here, then the path's own draws for its seed.
    for (int attempt = 0; attempt < path_attempts; ++attempt) {
        const double v = uniform_generator();
        const double s = uniform_generator();
        const double h = uniform_generator();
        hsv_to_rgb(h, 0.5 + 0.5 * s, 0.5 + 0.5 * v, rgb);
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
}

void ball_camera::stop_worker()
{
    stop_requested = true;
    if (worker.joinable())
        worker.join();
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
        std::lock_guard<std::mutex> guard(lock);
        for (auto& walker : walkers)
            walker->resize(new_width, new_height);
    }

    if (!worker_started) {
        if (mode == stepping::worker_thread) {
            worker = std::thread(worker_main, this);
            worker_thread_id = static_cast<std::uint32_t>(std::hash<std::thread::id>()(worker.get_id()));
        }
        worker_started = true;
    }
}

void ball_camera::step()
{
    // The count starts again at 1 after a whole number of cycles, years
    // before it could overflow, so that the phases run on unchanged.
    constexpr std::int32_t last_count = INT32_MAX / cycle_steps * cycle_steps;
    step_count = step_count == last_count ? 1 : step_count + 1;
    const int phase = step_count % cycle_steps;
    // The plane's work runs outside the lock; the texture publishes its new
    // image under it.
    if (phase != 0) {
        plane.prepare_pass(phase / 29.0);
    } else {
        plane.advance_pass();
        texture.recolour(&lock);
    }

    std::lock_guard<std::mutex> guard(lock);
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

int pacing_sleep_ms(std::int32_t elapsed_us)
{
    const std::int64_t at_pace = 50000 - static_cast<std::int64_t>(elapsed_us);
    const std::int64_t stretched = static_cast<std::int64_t>((elapsed_us * 0.8) / 0.2);
    const std::int64_t sleep_us = at_pace > stretched ? at_pace : stretched;
    return sleep_us > 5000 ? static_cast<int>(sleep_us / 1000) : 0;
}

void worker_main(ball_camera* scene)
{
    using clock = std::chrono::steady_clock;
    while (!scene->stop_requested) {
        const auto started = clock::now();
        scene->step();
        const auto took = std::chrono::duration_cast<std::chrono::microseconds>(clock::now() - started).count();
        const std::int32_t elapsed_us = took > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(took);
        scene->last_step_us = elapsed_us;
        // The pace's sleep is four times a slow step, which can run to
        // seconds on a busy machine: it watches for a stop request, so that
        // a stopped saver ends within about 10 ms of its current step.
        const auto wake = clock::now() + std::chrono::milliseconds(pacing_sleep_ms(elapsed_us));
        for (auto now = clock::now(); now < wake && !scene->stop_requested; now = clock::now())
            std::this_thread::sleep_for(std::min<clock::duration>(wake - now, std::chrono::milliseconds(10)));
    }
}
