// What a screen-saver daemon shows, read from its Xvfb display: waits until
// the window (or the whole screen) shows Velmora's frames, checks that the
// plane starts black and that the set emerges, and, for a seeded run,
// compares the picture with the headless renderer's frame of the same seed.
//
// usage: daemon_probe DISPLAY WINDOW [--black-first PID] [--seed N --since EPOCH]
//   WINDOW   a window ID (decimal or 0x hexadecimal), or "root" for the screen
//   --black-first  the plane must be black in the first frame seen, if it
//            was seen before process PID (the hack) can have made a pass
//   --since  when the daemon was told to start the hack (seconds since the
//            epoch): no more steps than 20 a second since then can be shown
// Exit status 0 when every check passes; 1 with one line on standard error.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

#include <unistd.h>

#include "../x11/x11_test_support.h"
#include "hack/hack_options.h"
#include "options/command_words.h"

namespace {

constexpr double start_up_limit = 30.0;
constexpr double emergence_limit = 60.0;
constexpr double steps_per_second = 20.0;
constexpr double tolerated_mismatch = 0.005;
// The first whole pass is the 30th step; the pace gives each step at least
// 49 ms (50 ms, its sleep rounded down to whole milliseconds), so a frame
// shown less than 29 * 49 ms after the hack started shows the black plane.
constexpr double black_plane_for_at_least = 29 * 0.049;

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

// Seconds since process pid started, from its start time in clock ticks
// since boot (field 22 of /proc/PID/stat); negative when it cannot be read.
double process_age(long pid)
{
    std::FILE* stat = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (stat == nullptr)
        return -1.0;
    char line[1024] = {};
    const bool read = std::fgets(line, sizeof line, stat) != nullptr;
    std::fclose(stat);
    const char* fields = read ? std::strrchr(line, ')') : nullptr;
    unsigned long long start_ticks = 0;
    // After the name: state (field 3) ... start time (field 22).
    if (fields == nullptr ||
        std::sscanf(fields + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %*d %*d %llu",
                    &start_ticks) != 1)
        return -1.0;
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double since_boot = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    return since_boot - static_cast<double>(start_ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return fail("usage: daemon_probe DISPLAY WINDOW [--black-first PID] [--seed N --since EPOCH]");
    const std::string display_name = argv[1];
    const std::string window_text = argv[2];
    long black_first_pid = 0;
    std::optional<std::uint32_t> seed;
    double since = 0.0;
    for (int i = 3; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--black-first" && i + 1 < argc) {
            black_first_pid = std::atol(argv[++i]);
            if (black_first_pid <= 0)
                return fail("bad process ID");
        } else if (argument == "--seed" && i + 1 < argc) {
            seed = read_seed(argv[++i]);
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
    if (black_first_pid > 0) {
        // Seen later, the frame may rightly show the first pass already: on
        // a loaded machine the first frame comes late, not wrong.
        const double age = process_age(black_first_pid);
        if (age < 0)
            return fail("no process " + std::to_string(black_first_pid));
        if (age >= black_plane_for_at_least)
            std::printf("daemon_probe: first frame seen %.2f s after the hack started, when a pass may show: "
                        "black start not judged\n",
                        age);
        else if (first_lit > 0.5)
            return fail("the first frame seen is not the black plane (" + std::to_string(first_lit * 100) + "% lit)");
        else
            std::printf("daemon_probe: the black plane, %.2f s after the hack started\n", age);
    }

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
