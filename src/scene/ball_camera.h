// The scene: everything the saver shows and simulates, and its own camera.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "camera/camera.h"
#include "orbits/orbit_path.h"
#include "orbits/orbit_picture.h"
#include "orbits/orbit_walker.h"
#include "plane/plane_region.h"
#include "plane/plane_texture.h"
#include "scene/frame_backdrop.h"
#include "scene/frame_damage.h"
#include "scene/worker.h"

// How the scene is stepped: by its own paced worker thread, as in the saver,
// or by the caller (the headless renderer and tests), without sleeping.
enum class stepping { worker_thread, manual };

class ball_camera final : public inertial_camera_gl {
public:
    static constexpr int walker_count = 128;
    static constexpr int path_attempts = 50;
    static constexpr int cycle_steps = 30;
    // Steps 1 to 29 of a cycle spread the grid's look-ahead; step 30 makes
    // the whole pass.
    static constexpr int prepare_steps = cycle_steps - 1;
    static constexpr int walkers_prepared_per_step = 4;

    // Builds the region, the texture (and its GL texture object, so the
    // context must be current), 128 walkers and up to 50 paths, drawing from
    // the uniform generator in a fixed order.
    explicit ball_camera(stepping mode = stepping::worker_thread);
    // Ends the worker thread and deletes the texture objects, with the
    // context current (the saver itself never destroys its scene).
    ~ball_camera();
    ball_camera(const ball_camera&) = delete;
    ball_camera& operator=(const ball_camera&) = delete;

    void resize(int new_width, int new_height);
    // One simulation step: the plane's half outside the lock, then the
    // orbits' half under it.
    void step();
    // Counts the step and returns its phase in the cycle, 0 for the whole
    // pass.
    int next_phase();
    void step_plane(int phase);
    void step_orbits(int phase);
    // Takes the texture's published image and copies the orbit objects
    // under the lock, then draws them: a whole frame, not the one recorded.
    void draw();
    // The copies alone, keeping the frame before's in orbits_before.
    void take_frame();
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
    scene_lock lock;
    std::int32_t step_count;
    bool worker_started;
    std::int32_t width;
    std::int32_t height;

    stepping mode;
    // The window thread's copy of the orbit objects for the frame it draws.
    orbit_picture orbits_drawn;
    // For a frame that redraws only what changed: the frame before's copy,
    // what the last two frames drew in window pixels, and whether the
    // earlier of them is the one render_frame last drew (not after a
    // resize or another drawing); and the background the last whole frame
    // drew, which such a frame copies into its boxes.
    orbit_picture orbits_before;
    frame_outline outline;
    frame_outline outline_before;
    bool outline_kept;
    damage_rules rules;
    frame_backdrop backdrop;
    // Last, so that it is destroyed first: the thread uses everything above.
    scene_worker worker;
};
