#include "reference_scene.h"

void reference_scene_step(ball_camera& scene, reference::region& plane, reference::texture& texture)
{
    ++scene.step_count;
    const int phase = scene.step_count % ball_camera::cycle_steps;
    if (phase != 0) {
        plane.prepare_pass(phase / 29.0);
    } else {
        plane.advance_pass();
        texture.recolour(&scene.lock);
    }

    std::lock_guard<std::mutex> guard(scene.lock);
    for (auto& path : scene.paths)
        path->advance_window();

    for (auto it = scene.walkers.begin(); it != scene.walkers.end();) {
        if ((*it)->update()) {
            ++it;
            continue;
        }
        const auto following = std::next(it);
        if (scene.walker_cursor == it)
            scene.walker_cursor = following;
        scene.walkers.erase(it);
        it = following;
    }

    if (phase != 0) {
        for (int i = 0; i < ball_camera::walkers_prepared_per_step && scene.walker_cursor != scene.walkers.end();
             ++i) {
            (*scene.walker_cursor)->point.prepare_next();
            ++scene.walker_cursor;
        }
    } else {
        scene.walker_cursor = scene.walkers.begin();
    }
}
