// What the tests of the real programs share (velmora on X11 and on Wayland,
// the daemons' probe): a program run as a child process, pictures, and the
// headless renderer's frames of the same scene to compare them with.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The program under test, with its standard error kept in a file.
class child_process {
public:
    // environment entries replace or add ("NAME=value") or remove ("NAME").
    child_process(const std::string& program, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment);
    ~child_process();
    child_process(const child_process&) = delete;
    child_process& operator=(const child_process&) = delete;

    // The exit status once the process has ended within the time, or nothing
    // (it is then still running). A death by a signal gives 128 + signal.
    std::optional<int> wait_for_exit(double seconds);
    bool running();
    void send_signal(int signal_number);
    std::string error_output() const;

    pid_t pid = -1;

private:
    std::string error_file;
    std::optional<int> status;
};

struct rgb_picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // rows from the top down

    const std::uint8_t* at(int column, int row) const
    {
        return &rgb[(static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(column)) *
                    3];
    }
};

// A binary PPM file (P6, 8 bits), as grim and ImageMagick write them;
// nothing when it cannot be read.
std::optional<rgb_picture> read_ppm(const std::string& path);

// Whether the picture shows a frame of the scene: the orbit objects are
// saturated colours, which neither a black nor a grey picture has.
bool shows_the_scene(const rgb_picture& picture);

struct step_match {
    std::int64_t steps = -1;
    double mismatch = 1.0;  // share of pixels that differ
};

// Share of pixels whose colours differ by more than the tolerance in any
// channel; pictures of different sizes differ everywhere.
double mismatch(const rgb_picture& a, const rgb_picture& b, int tolerance = 24);

// The largest screenshot closest_step can compare.
constexpr int reference_width = 1920;
constexpr int reference_height = 1200;

// Runs the seeded scene in the headless renderer at the screenshot's size
// (first at first_size, when the window was resized since) and finds the
// step count from min_steps to max_steps whose frame is closest to the
// screenshot, stopping at the first that is the same up to a few pixels.
step_match closest_step(const rgb_picture& shot, std::uint32_t seed, std::int64_t min_steps, std::int64_t max_steps,
                        std::optional<std::pair<int, int>> first_size = std::nullopt);

// Share of the picture's pixels that are not black. The plane is opaque
// black until its first whole pass and mostly coloured after it.
double lit_share(const rgb_picture& picture);

// Pixels of the picture bright in every channel: only the -fps text is.
int white_pixels(const rgb_picture& picture, int left, int top, int right, int bottom);

void sleep_seconds(double seconds);

double seconds_since(std::chrono::steady_clock::time_point start);

// argv for exec: pointers into the strings, ended by a null pointer.
std::vector<char*> c_strings(std::vector<std::string>& strings);

// Whether the process has a handler for the signal now (Linux's /proc).
bool signal_caught(pid_t pid, int signal_number);
