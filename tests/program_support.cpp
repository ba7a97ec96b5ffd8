#include "program_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "gl.h"
#include "random/random.h"
#include "render/egl_context.h"
#include "scene/ball_camera.h"
#include "scene/frame.h"

using steady = std::chrono::steady_clock;

double seconds_since(steady::time_point start)
{
    return std::chrono::duration<double>(steady::now() - start).count();
}

std::vector<char*> c_strings(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (auto& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

void sleep_seconds(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

child_process::child_process(const std::string& program, const std::vector<std::string>& arguments,
                             const std::vector<std::string>& environment)
{
    char path[] = "/tmp/velmora-test-XXXXXX";
    const int error_fd = mkstemp(path);
    error_file = path;
    pid = fork();
    if (pid == 0) {
        dup2(error_fd, STDERR_FILENO);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        for (const std::string& entry : environment) {
            const auto equals = entry.find('=');
            if (equals == std::string::npos)
                unsetenv(entry.c_str());
            else
                setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
        }
        std::vector<std::string> all = {program};
        all.insert(all.end(), arguments.begin(), arguments.end());
        auto argv = c_strings(all);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(error_fd);
}

child_process::~child_process()
{
    if (pid > 0 && !status) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    unlink(error_file.c_str());
}

std::optional<int> child_process::wait_for_exit(double seconds)
{
    const auto start = steady::now();
    while (!status) {
        int raw = 0;
        const pid_t done = waitpid(pid, &raw, WNOHANG);
        if (done == pid) {
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            break;
        }
        if (seconds_since(start) > seconds)
            break;
        sleep_seconds(0.005);
    }
    return status;
}

bool child_process::running()
{
    return !wait_for_exit(0.0);
}

void child_process::send_signal(int signal_number)
{
    if (!status)
        kill(pid, signal_number);
}

std::string child_process::error_output() const
{
    std::ifstream in(error_file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::optional<rgb_picture> read_ppm(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int width = 0;
    int height = 0;
    int max_value = 0;
    if (!(in >> magic >> width >> height >> max_value) || magic != "P6" || max_value != 255 || width <= 0 ||
        height <= 0 || width > 16384 || height > 16384)
        return std::nullopt;
    in.get();
    rgb_picture picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    if (!in.read(reinterpret_cast<char*>(picture.rgb.data()), static_cast<std::streamsize>(picture.rgb.size())))
        return std::nullopt;
    return picture;
}

bool shows_the_scene(const rgb_picture& picture)
{
    int saturated = 0;
    for (std::size_t i = 0; i + 2 < picture.rgb.size(); i += 3) {
        const int high = std::max({picture.rgb[i], picture.rgb[i + 1], picture.rgb[i + 2]});
        const int low = std::min({picture.rgb[i], picture.rgb[i + 1], picture.rgb[i + 2]});
        saturated += high - low > 40;
    }
    return saturated > 100;
}

double mismatch(const rgb_picture& a, const rgb_picture& b, int tolerance)
{
    if (a.width != b.width || a.height != b.height || a.rgb.empty())
        return 1.0;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < a.rgb.size(); i += 3) {
        bool differs = false;
        for (std::size_t k = 0; k < 3; ++k)
            differs = differs || std::abs(int{a.rgb[i + k]} - int{b.rgb[i + k]}) > tolerance;
        differing += differs;
    }
    return static_cast<double>(differing) / static_cast<double>(a.rgb.size() / 3);
}

namespace {

// The scene builds its disc display list once per process, so every
// reference frame is drawn in one context, big enough for any window here,
// into its bottom-left corner.
// Below this share of differing pixels a frame is the one on the display.
constexpr double exact_enough = 0.001;

egl_context* reference_context()
{
    static egl_context context;
    static bool created = false;
    if (!created) {
        std::string error;
        created = context.create(reference_width, reference_height, error);
        if (!created)
            std::fprintf(stderr, "headless context: %s\n", error.c_str());
    }
    return created ? &context : nullptr;
}

void read_corner(rgb_picture& frame)
{
    const std::size_t row_bytes = static_cast<std::size_t>(frame.width) * 3;
    std::vector<std::uint8_t> bottom_up(row_bytes * static_cast<std::size_t>(frame.height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, frame.width, frame.height, GL_RGB, GL_UNSIGNED_BYTE, bottom_up.data());
    frame.rgb.resize(bottom_up.size());
    for (int row = 0; row < frame.height; ++row)
        std::copy_n(&bottom_up[static_cast<std::size_t>(frame.height - 1 - row) * row_bytes], row_bytes,
                    &frame.rgb[static_cast<std::size_t>(row) * row_bytes]);
}

}  // namespace

step_match closest_step(const rgb_picture& shot, std::uint32_t seed, std::int64_t min_steps, std::int64_t max_steps,
                        std::optional<std::pair<int, int>> first_size)
{
    step_match best;
    if (shot.width > reference_width || shot.height > reference_height || !reference_context())
        return best;
    seed_random_engine(seed);
    ball_camera scene(stepping::manual);
    if (first_size)
        reshape(first_size->first, first_size->second, scene);
    reshape(shot.width, shot.height, scene);
    rgb_picture frame;
    frame.width = shot.width;
    frame.height = shot.height;
    for (std::int64_t steps = 0; steps <= max_steps; ++steps) {
        if (steps > 0)
            scene.step();
        if (steps < min_steps)
            continue;
        render_frame(scene);
        glFinish();
        read_corner(frame);
        const double share = mismatch(shot, frame);
        if (share < best.mismatch) {
            best.steps = steps;
            best.mismatch = share;
        }
        // The same frame up to a few pixels: later steps only move away.
        if (best.mismatch < exact_enough)
            break;
    }
    return best;
}

double lit_share(const rgb_picture& picture)
{
    std::size_t lit = 0;
    for (std::size_t i = 0; i + 2 < picture.rgb.size(); i += 3)
        lit += picture.rgb[i] > 20 || picture.rgb[i + 1] > 20 || picture.rgb[i + 2] > 20;
    return picture.rgb.empty() ? 0.0 : static_cast<double>(lit) / static_cast<double>(picture.rgb.size() / 3);
}

int white_pixels(const rgb_picture& picture, int left, int top, int right, int bottom)
{
    int count = 0;
    for (int row = std::max(top, 0); row < std::min(bottom, picture.height); ++row)
        for (int column = std::max(left, 0); column < std::min(right, picture.width); ++column) {
            const std::uint8_t* p = picture.at(column, row);
            count += p[0] > 240 && p[1] > 240 && p[2] > 240;
        }
    return count;
}

bool signal_caught(pid_t pid, int signal_number)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return (mask >> (signal_number - 1)) & 1;
        }
    return false;
}
