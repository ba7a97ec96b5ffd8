#include "wayland/wayland_surface.h"

#include <algorithm>
#include <cmath>

#include "fractional-scale-v1-client-protocol.h"
#include "scene/ball_camera.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {

wayland_surface& owner(void* data)
{
    return *static_cast<wayland_surface*>(data);
}

const zwlr_layer_surface_v1_listener layer_listener = {
    [](void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
        owner(data).configure_layer(serial, width, height);
    },
    [](void* data, zwlr_layer_surface_v1*) { owner(data).closed = true; },
};

const xdg_surface_listener xdg_listener = {
    [](void* data, xdg_surface*, std::uint32_t serial) { owner(data).configure_xdg(serial); },
};

const xdg_toplevel_listener toplevel_listener = {
    [](void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array*) {
        owner(data).configure_toplevel(width, height);
    },
    [](void* data, xdg_toplevel*) { owner(data).closed = true; },
    [](void*, xdg_toplevel*, std::int32_t, std::int32_t) {},
    [](void*, xdg_toplevel*, wl_array*) {},
};

const wl_surface_listener surface_listener = {
    [](void* data, wl_surface*, wl_output* output) { owner(data).output_entered(output); },
    [](void* data, wl_surface*, wl_output* output) { owner(data).output_left(output); },
};

const wl_callback_listener frame_listener = {
    [](void* data, wl_callback*, std::uint32_t) { owner(data).frame_shown(); },
};

const wp_fractional_scale_v1_listener fractional_listener = {
    [](void* data, wp_fractional_scale_v1*, std::uint32_t scale) { owner(data).scale_preferred(scale); },
};

}  // namespace

int buffer_side(int logical, std::int32_t integer_scale, std::uint32_t scale_120ths)
{
    if (scale_120ths > 0)
        return static_cast<int>(std::lround(static_cast<double>(logical) * scale_120ths / 120.0));
    return logical * std::max(integer_scale, 1);
}

wayland_surface::wayland_surface(wayland_display& opened, surface_role kind, wayland_output* covered)
    : output(covered), display(opened), role(kind)
{
    surface = wl_compositor_create_surface(display.compositor);
    wl_surface_add_listener(surface, &surface_listener, this);
    if (display.fractional_scale && display.viewporter) {
        fractional = wp_fractional_scale_manager_v1_get_fractional_scale(display.fractional_scale, surface);
        wp_fractional_scale_v1_add_listener(fractional, &fractional_listener, this);
        viewport = wp_viewporter_get_viewport(display.viewporter, surface);
    }
    create_role();
    wl_surface_commit(surface);
}

void wayland_surface::create_role()
{
    if (role == surface_role::overlay) {
        layer = zwlr_layer_shell_v1_get_layer_surface(display.layer_shell, surface, output->output,
                                                      ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "velmora");
        zwlr_layer_surface_v1_set_size(layer, 0, 0);
        zwlr_layer_surface_v1_set_anchor(layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                    ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                    ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        // Over panels too, whatever room they keep for themselves.
        zwlr_layer_surface_v1_set_exclusive_zone(layer, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
        zwlr_layer_surface_v1_add_listener(layer, &layer_listener, this);
        return;
    }
    xdg = xdg_wm_base_get_xdg_surface(display.wm_base, surface);
    xdg_surface_add_listener(xdg, &xdg_listener, this);
    toplevel = xdg_surface_get_toplevel(xdg);
    xdg_toplevel_add_listener(toplevel, &toplevel_listener, this);
    xdg_toplevel_set_title(toplevel, "Velmora");
    xdg_toplevel_set_app_id(toplevel, "velmora");
    if (role == surface_role::fullscreen)
        xdg_toplevel_set_fullscreen(toplevel, output->output);
}

wayland_surface::~wayland_surface()
{
    if (scene) {
        // The scene's GL objects belong to this surface's context.
        context.make_current();
        scene->stop_worker();
        scene.reset();
    }
    context.release();
    if (frame_callback)
        wl_callback_destroy(frame_callback);
    if (fractional)
        wp_fractional_scale_v1_destroy(fractional);
    if (viewport)
        wp_viewport_destroy(viewport);
    if (layer)
        zwlr_layer_surface_v1_destroy(layer);
    if (toplevel)
        xdg_toplevel_destroy(toplevel);
    if (xdg)
        xdg_surface_destroy(xdg);
    wl_surface_destroy(surface);
}

void wayland_surface::configure_layer(std::uint32_t serial, std::uint32_t width, std::uint32_t height)
{
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    logical_width = static_cast<int>(width);
    logical_height = static_cast<int>(height);
    configured = true;
}

void wayland_surface::configure_toplevel(std::int32_t width, std::int32_t height)
{
    // 0 leaves the size to us: the last one, or the first window's.
    if (width > 0 && height > 0) {
        logical_width = width;
        logical_height = height;
    }
}

void wayland_surface::configure_xdg(std::uint32_t serial)
{
    xdg_surface_ack_configure(xdg, serial);
    configured = true;
}

void wayland_surface::frame_shown()
{
    wl_callback_destroy(frame_callback);
    frame_callback = nullptr;
}

void wayland_surface::output_entered(wl_output* entered)
{
    // An output already destroyed on our side arrives as null.
    if (entered)
        entered_outputs.push_back(entered);
}

void wayland_surface::output_left(wl_output* left)
{
    entered_outputs.erase(std::remove(entered_outputs.begin(), entered_outputs.end(), left), entered_outputs.end());
}

void wayland_surface::scale_preferred(std::uint32_t scale)
{
    scale_120ths = scale;
}

bool wayland_surface::start(const wayland_egl& egl, bool show_fps, std::string& error)
{
    apply_size();
    if (!context.create(egl, surface, buffer_width, buffer_height, error))
        return false;
    // The scene creates its texture object, so the context must be current.
    scene = std::make_unique<ball_camera>();
    frames = std::make_unique<hack_frames>(show_fps);
    next_frame = clock::now();
    return true;
}

// The size the compositor gave in logical pixels, or the output's or a
// window's own when it left it to us, turned into the buffer's pixels.
void wayland_surface::apply_size()
{
    int width = logical_width;
    int height = logical_height;
    std::int32_t scale = 1;
    if (output)
        scale = std::max(output->scale, 1);
    // Looked up among the outputs still there: one removed since it was
    // entered has been destroyed, and no leave may ever come for it.
    for (wl_output* entered : entered_outputs)
        for (const auto& known : display.outputs)
            if (known->output == entered)
                scale = std::max(scale, known->scale);
    if (width <= 0 || height <= 0) {
        width = output && output->mode_width > 0 ? output->mode_width / scale : hack_window_width;
        height = output && output->mode_height > 0 ? output->mode_height / scale : hack_window_height;
    }
    const int new_width = buffer_side(width, scale, scale_120ths);
    const int new_height = buffer_side(height, scale, scale_120ths);
    if (viewport && scale_120ths > 0) {
        wl_surface_set_buffer_scale(surface, 1);
        wp_viewport_set_destination(viewport, width, height);
    } else if (scale != buffer_scale) {
        wl_surface_set_buffer_scale(surface, scale);
    }
    buffer_scale = scale_120ths > 0 ? 1 : scale;
    if (new_width != buffer_width || new_height != buffer_height) {
        buffer_width = new_width;
        buffer_height = new_height;
        if (scene)
            context.resize(buffer_width, buffer_height);
        // Every pixel is drawn: the compositor need not draw what is below.
        wl_region* opaque = wl_compositor_create_region(display.compositor);
        wl_region_add(opaque, 0, 0, width, height);
        wl_surface_set_opaque_region(surface, opaque);
        wl_region_destroy(opaque);
    }
}

void wayland_surface::draw()
{
    context.make_current();
    apply_size();
    frames->draw(*scene, buffer_width, buffer_height, context.back_buffer_holds());
    // Asked before the swap, whose commit carries the request.
    frame_callback = wl_surface_frame(surface);
    wl_callback_add_listener(frame_callback, &frame_listener, this);
    context.present();
    frames->presented();
    next_frame = next_frame_time(next_frame, clock::now());
}
