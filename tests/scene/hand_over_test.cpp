// The texture hand-over between the worker's recolour and the window
// thread's upload, with real threads; run under ThreadSanitizer by the tsan
// build.
#include <atomic>
#include <chrono>
#include <thread>

#include "gl_fixture.h"

namespace {

// The uploaded texture's used part equals image.
void expect_texture_holds_image(const plane_texture& texture, const std::vector<std::uint8_t>& image)
{
    std::vector<std::uint8_t> whole(1024u * 512u * 4u);
    glBindTexture(GL_TEXTURE_2D, texture.texture_name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, whole.data());
    std::size_t differing = 0;
    for (std::size_t row = 0; row < 510; ++row)
        for (std::size_t byte = 0; byte < 680u * 4u; ++byte)
            differing += whole[row * 1024u * 4u + byte] != image[row * 680u * 4u + byte];
    EXPECT_EQ(differing, 0u);
}

}  // namespace

TEST(hand_over, real_worker_and_frames_run_together)
{
    seed_random_engine(31);
    ball_camera scene(stepping::worker_thread);
    reshape(gl_environment::width, gl_environment::height, scene);
    // Draw until two raised flags have been seen (the constructor's image
    // and a recolour's), however slowly the worker runs under a sanitizer.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    int frames = 0;
    int uploads = 0;
    while (uploads < 2 && std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard<scene_lock> guard(scene.lock);
            uploads += scene.texture.pixels_changed;
        }
        draw_frame(scene);
        ++frames;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    scene.stop_worker();
    draw_frame(scene);
    EXPECT_EQ(uploads, 2);
    EXPECT_GE(scene.step_count, 30) << "at least one whole pass and recolour";
    EXPECT_GT(frames, 5);
    EXPECT_FALSE(scene.texture.pixels_changed);
    // The worker stopped at any phase, perhaps after composing ahead: the
    // taken image is the last one published.
    expect_texture_holds_image(scene.texture, scene.texture.upload_pixels);
}

TEST(hand_over, unpaced_stepping_against_continuous_frames_loses_no_image)
{
    seed_random_engine(32);
    ball_camera scene(stepping::manual);
    reshape(gl_environment::width, gl_environment::height, scene);
    std::atomic<bool> done{false};
    std::thread stepper([&] {
        for (int i = 0; i < 30 * 8; ++i)
            scene.step();
        done = true;
    });
    int frames = 0;
    while (!done) {
        draw_frame(scene);
        ++frames;
    }
    stepper.join();
    EXPECT_EQ(scene.plane.pass_count, 8);
    // The last recolour may have come after the last frame: its flag is
    // still up and the next frame uploads it.
    draw_frame(scene);
    EXPECT_FALSE(scene.texture.pixels_changed);
    // The stepping ended on a whole pass: the worker's image is the last
    // one published.
    expect_texture_holds_image(scene.texture, scene.texture.work_pixels);
    EXPECT_GT(frames, 1);
}
