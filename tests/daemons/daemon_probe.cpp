// What a screen-saver daemon shows, read from its Xvfb display: waits until
// the window (or the whole screen) shows Velmora's frames, checks that the
// plane starts black and that the set emerges, and, for a seeded run,
// compares the picture with the headless renderer's frame of the same seed.
//
// usage: daemon_probe DISPLAY WINDOW [--black-first] [--seed N --since EPOCH]
//   WINDOW   a window ID (decimal or 0x hexadecimal), or "root" for the screen
//   --since  when the daemon was told to start the hack (seconds since the
//            epoch): no more steps than 20 a second since then can be shown
// Exit status 0 when every check passes; 1 with one line on standard error.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "x11/x11_options.h"
#include "../x11/x11_test_support.h"

namespace {

constexpr double start_up_limit = 30.0;
constexpr double emergence_limit = 60.0;
constexpr double steps_per_second = 20.0;
constexpr double tolerated_mismatch = 0.005;

double now_seconds()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "daemon_probe: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return fail("usage: daemon_probe DISPLAY WINDOW [--black-first] [--seed N --since EPOCH]");
    const std::string display_name = argv[1];
    const std::string window_text = argv[2];
    bool black_first = false;
    std::optional<std::uint32_t> seed;
    double since = 0.0;
    for (int i = 3; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--black-first") {
            black_first = true;
        } else if (argument == "--seed" && i + 1 < argc) {
            seed = parse_seed(argv[++i]);
            if (!seed)
                return fail("bad seed");
        } else if (argument == "--since" && i + 1 < argc) {
            since = std::atof(argv[++i]);
        } else {
            return fail("unknown argument " + argument);
        }
    }

    x_client client(display_name);
    if (!client.display)
        return fail("cannot open display " + display_name);
    Window window = DefaultRootWindow(client.display);
    if (window_text != "root") {
        const auto id = parse_window_id(window_text);
        if (!id)
            return fail("not a window ID: " + window_text);
        window = *id;
    }

    const double start = now_seconds();
    if (!wait_until_drawn(client, window, start_up_limit))
        return fail("nothing of Velmora drawn in " + window_text + " within " + std::to_string(start_up_limit) + " s");
    const rgb_picture first = client.screenshot(window);
    const double first_lit = lit_share(first);
    std::printf("daemon_probe: first frame %dx%d seen after %.2f s, %.0f%% lit\n", first.width, first.height,
                now_seconds() - start, first_lit * 100);
    if (black_first && first_lit > 0.5)
        return fail("the first frame seen is not the black plane (" + std::to_string(first_lit * 100) + "% lit)");

    std::optional<rgb_picture> emerged;
    do {
        rgb_picture shot = client.screenshot(window);
        if (lit_share(shot) > 0.5) {
            emerged = shot;
            break;
        }
        sleep_seconds(0.25);
    } while (now_seconds() - start < emergence_limit);
    if (!emerged)
        return fail("the plane stayed black for " + std::to_string(emergence_limit) + " s");
    const double shot_time = now_seconds();
    std::printf("daemon_probe: the set has emerged after %.2f s, %.0f%% lit\n", shot_time - start,
                lit_share(*emerged) * 100);

    if (seed) {
        const double elapsed = since > 0 ? shot_time - since : shot_time - start + start_up_limit;
        const auto max_steps = static_cast<std::int64_t>(std::ceil(elapsed * steps_per_second)) + 10;
        const step_match best = closest_step(*emerged, *seed, 30, max_steps);
        std::printf("daemon_probe: closest velmora-render frame of seed %u: step %lld, %.3f%% of pixels differ\n",
                    *seed, static_cast<long long>(best.steps), best.mismatch * 100);
        if (best.mismatch >= tolerated_mismatch)
            return fail("the screen is not the renderer's frame of seed " + std::to_string(*seed));
    }
    return 0;
}
