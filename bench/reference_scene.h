// The scene's step with the reference plane in place of the project's: the
// same walkers and paths, so that the two steps differ only in the plane.
#pragma once

#include "reference_plane.h"
#include "scene/ball_camera.h"

void reference_scene_step(ball_camera& scene, reference::region& plane, reference::texture& texture);
