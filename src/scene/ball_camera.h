// The scene: everything the saver shows and simulates, and its own camera.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "camera/camera.h"
#include "orbits/orbit_path.h"
#include "orbits/orbit_walker.h"
#include "plane/plane_region.h"
#include "plane/plane_texture.h"

// How the scene is stepped: by its own paced worker thread, as in the saver,
// or by the caller (the headless renderer and tests), without sleeping.
enum class stepping { worker_thread, manual };

class ball_camera : public inertial_camera_gl {
public:
    static constexpr int walker_count = 128;
    static constexpr int path_attempts = 50;
    static constexpr int cycle_steps = 30;
    static constexpr int walkers_prepared_per_step = 4;

    // Builds the region, the texture (and its GL texture object, so the
    // context must be current), 128 walkers and up to 50 paths, drawing from
    // the uniform generator in a fixed order.
    explicit ball_camera(stepping mode = stepping::worker_thread);
    // Ends the worker thread (the saver itself never destroys its scene).
    ~ball_camera();
    ball_camera(const ball_camera&) = delete;
    ball_camera& operator=(const ball_camera&) = delete;

    void resize(int new_width, int new_height);
    void step();
    void draw();
    void update_view(int width, int height) override;

    // Asks the worker to stop after its current step and waits for it.
    void stop_worker();

    double distance;
    plane_region plane;
    plane_texture texture;
    std::list<std::unique_ptr<orbit_walker>> walkers;
    std::vector<std::unique_ptr<orbit_path>> paths;
    std::list<std::unique_ptr<orbit_walker>>::iterator walker_cursor;
    std::uint32_t worker_thread_id;
    std::mutex lock;
    std::int32_t step_count;
    bool worker_started;
    std::int32_t width;
    std::int32_t height;

    stepping mode;
    std::atomic<bool> stop_requested;
    // Duration of the last step in microseconds, for on-screen statistics.
    std::atomic<std::int32_t> last_step_us;

private:
    std::thread worker;
    friend void worker_main(ball_camera* scene);
};

// The worker thread's routine: step, then sleep so that a pass takes about
// 50 ms, until stop_worker() is called.
void worker_main(ball_camera* scene);

// Milliseconds to sleep after a step that took elapsed_us microseconds, or 0
// for no sleep: 50 ms a pass while a step takes up to 10 ms, four times the
// step's time beyond.
int pacing_sleep_ms(std::int32_t elapsed_us);
