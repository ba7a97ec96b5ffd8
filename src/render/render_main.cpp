// velmora-render: runs the saver's scene headless and writes what its window
// would show as PNG pictures.
#include <cstdio>
#include <string>
#include <vector>

#include "gl.h"
#include "random/random.h"
#include "render/egl_context.h"
#include "render/png_file.h"
#include "render/render_options.h"
#include "scene/ball_camera.h"
#include "scene/frame.h"
#include "velmora_version.h"

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "velmora-render: %s\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv)
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

    // Find out about an unwritable output before the simulation runs.
    const std::string first_path = frame_path(options.out, 0, options.frames);
    if (std::FILE* probe = std::fopen(first_path.c_str(), "ab")) {
        std::fclose(probe);
    } else {
        return fail("cannot write " + first_path);
    }

    egl_context context;
    if (!context.create(options.width, options.height, error))
        return fail(error);

    const std::uint32_t seed = options.seed_given ? options.seed : time_seed();
    seed_random_engine(seed);
    ball_camera scene(stepping::manual);
    reshape(options.width, options.height, scene);

    std::int64_t done = 0;
    for (int frame = 0; frame < options.frames; ++frame) {
        const std::int64_t target = options.steps + frame * options.every;
        for (; done < target; ++done)
            scene.step();
        // The pbuffer is never swapped: it holds the frame drawn before.
        render_frame(scene, options.damage ? buffer_holds::last_frame : buffer_holds::anything);
        glFinish();
        glFlush();
        const std::string path = frame_path(options.out, frame, options.frames);
        if (!write_png(path, options.width, options.height, context.read_rgb(), error))
            return fail(error);
        std::printf("%s: seed %u, %lld steps, pass %d of %d, %zu walkers\n", path.c_str(), seed,
                    static_cast<long long>(done), scene.plane.pass_count, plane_region::max_passes,
                    scene.walkers.size());
    }
    return 0;
}
