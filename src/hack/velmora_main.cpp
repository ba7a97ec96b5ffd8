// velmora: the saver on Linux desktops, an XScreenSaver hack on X11 and a
// saver surface on Wayland. Either way it drives the same scene, camera and
// frame code as the Windows saver: a GL context on each window, the scene,
// a frame every 50 ms while the worker thread steps the scene.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "hack/hack_options.h"
#include "options/command_words.h"
#include "posix/posix_stop_signals.h"
#include "random/random.h"
#include "scene/frame.h"
#include "velmora_version.h"
#include "x11/x11_saver.h"
#if VELMORA_WAYLAND
#include "wayland/wayland_saver.h"
#endif

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

int run(const hack_options& options, stop_signals& signals)
{
    const server_choice choice =
        choose_display_server(options, environment("WAYLAND_DISPLAY"), environment("XSCREENSAVER_WINDOW"));
    if (choice == server_choice::x11)
        return run_on_x11(options, signals);
#if VELMORA_WAYLAND
    std::string error;
    wayland_connection connection = connect_to_compositor(error);
    if (connection)
        return run_on_wayland(std::move(connection), options, signals);
    if (choice == server_choice::wayland_else_x11 && !environment("DISPLAY").empty()) {
        std::fprintf(stderr, "velmora: %s; drawing on X display %s instead\n", error.c_str(),
                     quoted(environment("DISPLAY")).c_str());
        return run_on_x11(options, signals);
    }
    return report_error(error);
#else
    if (choice == server_choice::wayland)
        return report_error("this velmora was built without Wayland");
    return run_on_x11(options, signals);
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    keep_gl_driver_memory();
    stop_signals signals;
    std::string error;
    if (!signals.open(false, error))
        return report_error(error);

    const parsed_hack_options parsed = parse_hack_options(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty())
        return report_error(parsed.error);
    if (parsed.options.show_help) {
        std::fputs(hack_usage("velmora").c_str(), stdout);
        return 0;
    }
    if (parsed.options.show_version) {
        std::fputs("velmora " VELMORA_VERSION "\n", stdout);
        return 0;
    }
    if (parsed.options.seed)
        seed_random_engine(*parsed.options.seed);

    return run(parsed.options, signals);
}
