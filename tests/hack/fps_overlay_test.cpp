#include <gtest/gtest.h>

#include "gl.h"
#include "hack/fps_overlay.h"
#include "render/egl_context.h"

TEST(frame_rate_meter, counts_frames_over_whole_seconds)
{
    frame_rate_meter meter;
    EXPECT_EQ(meter.frames_per_second(), 0.0);
    // 50 ms frames: the first second gives 20 frames a second.
    for (int i = 0; i <= 19; ++i)
        meter.frame_presented(100.0 + i * 0.05);
    EXPECT_EQ(meter.frames_per_second(), 0.0) << "not a whole second yet";
    meter.frame_presented(101.0);
    EXPECT_NEAR(meter.frames_per_second(), 20.0, 1e-9);
    // Then a stall: 4 frames in 2 seconds.
    for (int i = 1; i <= 4; ++i)
        meter.frame_presented(101.0 + i * 0.5);
    EXPECT_NEAR(meter.frames_per_second(), 2.0, 1e-9);
}

TEST(fps_overlay, text_shows_rate_and_step_time)
{
    EXPECT_EQ(fps_overlay_text(19.96, 3250), "FPS 20.0  STEP 3.25 MS");
    EXPECT_EQ(fps_overlay_text(0.0, 0), "FPS 0.0  STEP 0.00 MS");
}

TEST(fps_overlay, draws_white_text_top_left_and_keeps_the_gl_state)
{
    egl_context context;
    std::string error;
    ASSERT_TRUE(context.create(320, 200, error)) << error;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-5.0, 5.0, -5.0, 5.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, 0.0f);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    GLdouble projection_before[16];
    GLdouble model_before[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection_before);
    glGetDoublev(GL_MODELVIEW_MATRIX, model_before);

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    draw_fps_overlay(fps_overlay_text(20.0, 1234), 320, 200);
    glFinish();

    const std::vector<std::uint8_t> rgb = context.read_rgb();
    int white_top_left = 0;
    int lit_elsewhere = 0;
    for (int row = 0; row < 200; ++row)
        for (int column = 0; column < 320; ++column) {
            const std::uint8_t* p = &rgb[(static_cast<std::size_t>(row) * 320 + column) * 3];
            const bool white = p[0] == 255 && p[1] == 255 && p[2] == 255;
            const bool lit = p[0] || p[1] || p[2];
            if (row < 30 && column < 300)
                white_top_left += white;
            else
                lit_elsewhere += lit;
        }
    EXPECT_GT(white_top_left, 300);
    EXPECT_EQ(lit_elsewhere, 0);

    // The scene's next frame finds its state as it left it.
    GLdouble projection_after[16];
    GLdouble model_after[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection_after);
    glGetDoublev(GL_MODELVIEW_MATRIX, model_after);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(projection_after[i], projection_before[i]);
        EXPECT_EQ(model_after[i], model_before[i]);
    }
    GLint matrix_mode = 0;
    GLint alignment = 0;
    GLfloat colour[4] = {};
    glGetIntegerv(GL_MATRIX_MODE, &matrix_mode);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(matrix_mode, GL_MODELVIEW);
    EXPECT_EQ(alignment, 4);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(colour[1], 0.5f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
