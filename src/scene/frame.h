// Projection set-up and the drawing of one frame.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/frame_damage.h"

class ball_camera;

// A frame every 50 ms, about 20 a second.
constexpr int frame_period_ms = 50;

struct perspective_projection {
    double fovy;  // degrees
    double aspect;
};

// The projection for a window: finite for every size. A window of zero
// width or height is projected as a 1 x 1 window.
perspective_projection window_projection(std::int32_t width, std::int32_t height);

// Viewport, projection and default view for the window, then the scene's
// resize, which places the camera and starts the worker.
void reshape(std::int32_t width, std::int32_t height, ball_camera& scene);

// What the buffer holds when a frame starts: anything (a window's back
// buffer after a swap that keeps nothing, an exposed window), or the frame
// render_frame drew last (a pbuffer, a back buffer the swap kept).
enum class buffer_holds { anything, last_frame };

// One frame: GL state, clear, the camera's view (once the scene has a size)
// and the scene. The caller finishes and presents it. Over the last frame
// only the boxes around what changed since are redrawn, with the bytes of a
// whole frame: the background (clear colour and plane) copied from the last
// whole frame's, then the objects. The first frame, the frame after a resize
// or another projection, a frame whose plane image has other bytes than the
// last one's (once a pass while the set emerges), the first over the last
// after any of these (it copies the background) and a frame over anything
// are drawn whole. Returns the number of boxes redrawn, or -1 for a whole
// frame. overlay is what the caller draws over the scene after it (window
// pixels, both this frame's and the last one's), redrawn in every frame over
// the last. boxes_drawn, when given, receives the boxes redrawn (none for a
// whole frame), for a swap that copies only those.
int render_frame(ball_camera& scene, buffer_holds before = buffer_holds::anything, const pixel_box& overlay = no_pixels,
                 std::vector<pixel_box>* boxes_drawn = nullptr);

// VELMORA_WHOLE_FRAMES set and not empty in the environment: the front-ends
// then draw every frame whole even where the back buffer is kept, to
// measure what drawing only the changes saves.
bool whole_frames_asked();

// Whether an extension string (names separated by spaces, as GL, GLX and WGL
// give them) holds name as a whole word.
bool extension_listed(const char* list, const char* name);

// Keeps memory the GL driver frees in the process. Software GL (llvmpipe)
// allocates blocks of 64 KiB for each draw call and frees them by the
// frame's end; glibc would hand the top of the heap back to the system every
// frame, then fault and zero it in again. Elsewhere it does nothing.
void keep_gl_driver_memory();
