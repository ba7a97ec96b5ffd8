// velmora-render: runs the saver's scene headless and writes what its window
// would show as PNG pictures, or as a video encoded by the program ffmpeg.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "gl.h"
#include "posix/posix_stop_signals.h"
#include "random/random.h"
#include "render/egl_context.h"
#include "render/png_file.h"
#include "render/progress_meter.h"
#include "render/render_options.h"
#include "render/temporary_file.h"
#include "render/video_encoder.h"
#include "scene/ball_camera.h"
#include "scene/frame.h"
#include "velmora_version.h"

namespace {

int fail(const std::string& message, int exit_code = 2)
{
    std::fprintf(stderr, "velmora-render: %s\n", message.c_str());
    return exit_code;
}

// The scene of the options' seed in a fresh headless context of their size.
struct headless_scene {
    egl_context context;
    std::uint32_t seed = 0;
    std::unique_ptr<ball_camera> scene;

    bool open(const render_options& options, std::string& error)
    {
        if (!context.create(options.width, options.height, error))
            return false;
        seed = options.seed_given ? options.seed : time_seed();
        seed_random_engine(seed);
        scene = std::make_unique<ball_camera>(stepping::manual);
        reshape(options.width, options.height, *scene);
        return true;
    }

    // The pbuffer is never swapped: it holds the frame drawn before.
    void draw(bool over_last)
    {
        render_frame(*scene, over_last ? buffer_holds::last_frame : buffer_holds::anything);
        glFinish();
        glFlush();
    }
};

int write_pictures(const render_options& options)
{
    // Find out about an unwritable output before the simulation runs.
    const std::string first_path = frame_path(options.out, 0, options.frames);
    if (std::FILE* probe = std::fopen(first_path.c_str(), "ab")) {
        std::fclose(probe);
    } else {
        return fail("cannot write " + first_path);
    }
    std::string error;
    headless_scene run;
    if (!run.open(options, error))
        return fail(error);
    std::int64_t done = 0;
    for (int frame = 0; frame < options.frames; ++frame) {
        const std::int64_t target = options.steps + frame * options.every;
        for (; done < target; ++done)
            run.scene->step();
        run.draw(options.damage);
        const std::string path = frame_path(options.out, frame, options.frames);
        if (!write_png(path, options.width, options.height, run.context.read_rgb(), error))
            return fail(error);
        std::printf("%s: seed %u, %lld steps, pass %d of %d, %zu walkers\n", path.c_str(), run.seed,
                    static_cast<long long>(done), run.scene->plane.pass_count, plane_region::max_passes,
                    run.scene->walkers.size());
    }
    return 0;
}

// Every step from 0 to options.steps, a frame each, drawn over the last
// (the same bytes as whole frames, sooner) unless VELMORA_WHOLE_FRAMES asks
// for whole ones, into the encoder's pipe.
int write_video(const render_options& options)
{
    const std::string ffmpeg = find_program("ffmpeg", std::getenv("PATH"));
    if (ffmpeg.empty())
        return fail("--video needs the program ffmpeg, which is not on PATH (on Debian: apt-get install ffmpeg)");
    std::string error;
    stop_signals signals;  // first: before the GL driver makes its threads
    temporary_file file(options.video);
    headless_scene run;
    video_encoder encoder;
    if (!signals.open(true, error) || !file.create(error) || !run.open(options, error))
        return fail(error);
    if (!encoder.start(ffmpeg,
                       encoder_arguments(options.format, options.width, options.height, video_frame_rate, file.path()),
                       signals, error))
        return fail(error, 1);

    const std::int64_t total = options.steps + 1;
    progress_meter progress(options.video, total, isatty(STDOUT_FILENO) == 1, stdout);
    const auto start = std::chrono::steady_clock::now();
    auto outcome = video_encoder::outcome::done;
    std::int64_t done = 0;
    const bool over_last = !whole_frames_asked();
    while (done < total && outcome == video_encoder::outcome::done) {
        if (done > 0)
            run.scene->step();
        run.draw(over_last);
        outcome = encoder.write(run.context.read_rgba(), signals, error);
        if (outcome == video_encoder::outcome::done)
            progress.report(++done, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    if (outcome == video_encoder::outcome::done)
        outcome = encoder.finish(signals, error);
    progress.end();

    const std::string frames = std::to_string(done) + " of " + std::to_string(total) + " frames";
    if (outcome == video_encoder::outcome::interrupted)
        return fail("stopped by " + signal_name(encoder.stop_signal()) + " after " + frames + "; no video written",
                    128 + encoder.stop_signal());
    if (outcome == video_encoder::outcome::failed)
        return fail("the encoder failed after " + frames + ": " + error + "; no video written", 1);
    if (!file.keep(error))
        return fail(error, 1);
    std::printf("%s: seed %u, steps 0 to %lld, %lld frames at %d a second (%.2f s), %dx%d\n", options.video.c_str(),
                run.seed, static_cast<long long>(options.steps), static_cast<long long>(total), video_frame_rate,
                static_cast<double>(total) / video_frame_rate, options.width, options.height);
    return 0;
}

int run(int argc, char** argv)
{
    keep_gl_driver_memory();
    render_options options;
    std::string error;
    if (!parse_render_options(std::vector<std::string>(argv + 1, argv + argc), options, error))
        return fail(error + " (try --help)");
    if (options.help) {
        std::fputs(render_usage, stdout);
        return 0;
    }
    if (options.version) {
        std::fputs("velmora-render " VELMORA_VERSION "\n", stdout);
        return 0;
    }
    return options.video.empty() ? write_pictures(options) : write_video(options);
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        // Caught here so that the stack unwinds: the encoder is ended and
        // the unfinished video removed on the way.
        return fail("not enough memory for frames of this size", 1);
    }
}
