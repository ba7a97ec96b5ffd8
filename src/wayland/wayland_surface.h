// One surface velmora draws a scene on: a layer-shell overlay covering an
// output, a fullscreen window on an output where there is no layer shell,
// or a window of its own. Each has its own GL context and scene, is drawn
// at its output's own pixels and paced by the compositor's frame callbacks.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hack/hack_frames.h"
#include "wayland/wayland_display.h"
#include "wayland/wayland_egl_context.h"

class ball_camera;
struct xdg_surface;
struct xdg_toplevel;
struct zwlr_layer_surface_v1;
struct wp_viewport;
struct wp_fractional_scale_v1;

enum class surface_role {
    overlay,     // the layer shell's overlay layer of one output
    fullscreen,  // a fullscreen xdg-shell window on one output
    window,      // an xdg-shell window of 1024 x 768, resizable
};

// The buffer's side in pixels for a side of the surface in the desktop's
// logical pixels: by the fractional scale (in 120ths) where the compositor
// gives one, rounded half away from zero, else by the integer scale.
int buffer_side(int logical, std::int32_t integer_scale, std::uint32_t scale_120ths);

class wayland_surface {
public:
    using clock = std::chrono::steady_clock;

    // The role's objects, committed without a buffer to ask for the first
    // configure event. output is the one covered (none for a window).
    wayland_surface(wayland_display& display, surface_role role, wayland_output* output);
    // Stops the scene's worker and releases the GL context, then the roles.
    ~wayland_surface();
    wayland_surface(const wayland_surface&) = delete;
    wayland_surface& operator=(const wayland_surface&) = delete;

    // Configured and without a scene yet: start() comes next.
    bool waiting_to_start() const { return configured && !scene; }
    // The GL context and the scene, from the random engine as it stands.
    bool start(const wayland_egl& egl, bool show_fps, std::string& error);
    // Has a scene and is not waiting for the compositor to show the last
    // frame: its next frame comes at next_frame.
    bool waiting_for_time() const { return scene && !frame_callback; }
    bool due(clock::time_point now) const { return waiting_for_time() && now >= next_frame; }
    clock::time_point next_frame;
    void draw();

    wayland_output* const output;
    // The compositor closed the layer surface, or asked the window to close.
    bool closed = false;

    // Listener targets.
    void configure_layer(std::uint32_t serial, std::uint32_t width, std::uint32_t height);
    void configure_xdg(std::uint32_t serial);
    void configure_toplevel(std::int32_t width, std::int32_t height);
    void frame_shown();
    void output_entered(wl_output* entered);
    void output_left(wl_output* left);
    void scale_preferred(std::uint32_t scale_120ths);

private:
    void create_role();
    void apply_size();

    wayland_display& display;
    const surface_role role;
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layer = nullptr;
    xdg_surface* xdg = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wp_viewport* viewport = nullptr;
    wp_fractional_scale_v1* fractional = nullptr;
    std::vector<wl_output*> entered_outputs;

    bool configured = false;
    int logical_width = 0;
    int logical_height = 0;
    std::uint32_t scale_120ths = 0;
    int buffer_width = 0;
    int buffer_height = 0;
    std::int32_t buffer_scale = 1;
    // Asked with the last frame; done when the compositor has shown it.
    wl_callback* frame_callback = nullptr;

    wayland_egl_context context;
    std::unique_ptr<ball_camera> scene;
    std::unique_ptr<hack_frames> frames;
};
