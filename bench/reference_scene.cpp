#include "reference_scene.h"

void reference_scene_step(ball_camera& scene, reference::region& plane, reference::texture& texture)
{
    // The scene's own step with the reference plane in place of its plane
    // half; the orbits' half is the scene's.
    const int phase = scene.next_phase();
    if (phase != 0) {
        plane.prepare_pass(phase / static_cast<double>(ball_camera::prepare_steps));
    } else {
        plane.advance_pass();
        recolour_handing_over(texture, scene.lock);
    }
    scene.step_orbits(phase);
}
