// A headless OpenGL context for tests that draw, and helpers to find where
// scene coordinates land in the read-back picture.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gl.h"
#include "leak_check.h"
#include "orbits/orbit_drawing.h"
#include "random/random.h"
#include "render/egl_context.h"
#include "scene/ball_camera.h"
#include "scene/frame.h"

// One context per test program, made current on the main thread.
class gl_environment : public ::testing::Environment {
public:
    static constexpr int width = 1024;
    static constexpr int height = 768;

    void SetUp() override
    {
        std::string error;
        context = std::make_unique<egl_context>();
        ASSERT_TRUE(context->create(width, height, error)) << error;
    }
    void TearDown() override
    {
        check_leaks_before_gl_teardown();
        context.reset();
    }

    static std::unique_ptr<egl_context> context;
};

struct pixel {
    int r, g, b;
};

// Top-down picture of the last frame.
class picture {
public:
    picture() : rgb(gl_environment::context->read_rgb()) {}
    pixel at(int column, int row) const
    {
        const std::size_t i = (static_cast<std::size_t>(row) * gl_environment::width + column) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    bool lit(int column, int row, int threshold = 10) const
    {
        const pixel p = at(column, row);
        return p.r > threshold || p.g > threshold || p.b > threshold;
    }
    std::vector<std::uint8_t> rgb;
};

// Window column and top-down row where the scene point (x, y, 0) is drawn
// under the scene's camera.
inline std::array<int, 2> window_pixel(const ball_camera& scene, double x, double y)
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    scene.apply();
    GLdouble model[16];
    GLdouble projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glPopMatrix();
    GLdouble wx = 0, wy = 0, wz = 0;
    gluProject(x, y, 0.0, model, projection, viewport, &wx, &wy, &wz);
    return {static_cast<int>(wx), viewport[3] - 1 - static_cast<int>(wy)};
}

inline void draw_frame(ball_camera& scene)
{
    render_frame(scene);
    glFinish();
    glFlush();
}
