#include "scene/frame.h"

#include <cmath>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "gl.h"
#include "scene/ball_camera.h"

perspective_projection window_projection(std::int32_t width, std::int32_t height)
{
    // A zero-sized window would make the aspect or the angle zero or
    // infinite; it gets the projection of a 1 x 1 window instead (a single
    // side of 1 beside a long one could turn the angle negative).
    const bool empty = width <= 0 || height <= 0;
    const std::uint64_t w = empty ? 1 : static_cast<std::uint64_t>(width);
    const std::uint64_t h = empty ? 1 : static_cast<std::uint64_t>(height);
    // Unsigned 64-bit: the sum reaches 3 * (2^31 - 1)^2, above the signed range.
    const std::uint64_t n = w * w + 2 * h * h;
    const double s = std::sqrt(static_cast<double>(n));
    const float hf = static_cast<float>(h);
    const float ratio = hf / static_cast<float>(w);
    perspective_projection projection{};
    projection.aspect = 1.0 / ratio;
    // 114.59165581759555 is 360 / 3.14159, not 360 / pi.
    projection.fovy =
        std::atan(static_cast<double>(h) / (2.0 * (3.0 * hf - (0.4 * s - 0.5 * static_cast<double>(h))))) *
        114.59165581759555;
    return projection;
}

void reshape(std::int32_t width, std::int32_t height, ball_camera& scene)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const perspective_projection projection = window_projection(width, height);
    gluPerspective(projection.fovy, projection.aspect, 1.0, 10000000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const double w = width;
    const double h = height;
    gluLookAt(w / 2, h / 2, 3 * h, w / 2, h / 2, -h / 2, 0.0, 1.0, 0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene.resize(width, height);
}

void render_frame(ball_camera& scene)
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_POLYGON_SMOOTH);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    if (scene.width != 0 && scene.height != 0)
        scene.apply();
    scene.draw();
    glPopMatrix();
}

void keep_gl_driver_memory()
{
#ifdef __GLIBC__
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    mallopt(M_TOP_PAD, 16 << 20);
#endif
}
