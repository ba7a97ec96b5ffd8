// The texture hand-over between the worker's recolour and the window
// thread's upload, with real threads; run under ThreadSanitizer by the tsan
// build.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "gl_fixture.h"

namespace {

// Bytes of the uploaded texture's used part that differ from the image.
std::size_t texture_differences(const plane_texture& texture, const std::vector<std::uint8_t>& image)
{
    std::vector<std::uint8_t> whole(1024u * 512u * 4u);
    glBindTexture(GL_TEXTURE_2D, texture.texture_name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, whole.data());
    std::size_t differing = 0;
    for (std::size_t row = 0; row < 510; ++row)
        for (std::size_t byte = 0; byte < 680u * 4u; ++byte)
            differing += whole[row * 1024u * 4u + byte] != image[row * 680u * 4u + byte];
    return differing;
}

}  // namespace

TEST(hand_over, real_worker_and_frames_run_together)
{
    seed_random_engine(31);
    ball_camera scene(stepping::worker_thread);
    reshape(gl_environment::width, gl_environment::height, scene);
    // Draw until two raised flags have been seen (the constructor's image
    // and a recolour's), however slowly the worker runs under a sanitizer,
    // and until a few frames have run beside the worker, however fast it
    // reaches its first recolour on a loaded machine.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    int frames = 0;
    int uploads = 0;
    while ((uploads < 2 || frames < 6) && std::chrono::steady_clock::now() < deadline) {
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
    EXPECT_GE(uploads, 2);
    EXPECT_GE(scene.step_count, 30) << "at least one whole pass and recolour";
    EXPECT_FALSE(scene.texture.pixels_changed);
    // The worker stopped at any phase, perhaps after composing ahead: the
    // taken image is the last one published.
    EXPECT_EQ(texture_differences(scene.texture, scene.texture.upload_pixels), 0u);
    EXPECT_EQ(scene.lock.misses(), 0);
}

// Unpaced steps in batches of a third of a cycle, frames drawn all along:
// after each batch the stepping thread waits for a frame begun since, so
// steps and frames interleave however fast either runs. After a batch that
// ends in a whole pass that frame shows the pass's image, whichever frame
// took it from the hand-over.
TEST(hand_over, interleaved_steps_and_frames_lose_no_image)
{
    seed_random_engine(32);
    ball_camera scene(stepping::manual);
    reshape(gl_environment::width, gl_environment::height, scene);
    constexpr int passes = 8;
    constexpr int batch_steps = ball_camera::cycle_steps / 3;
    constexpr int batches = passes * 3;
    std::mutex handshake;
    std::condition_variable seen_changed;
    int batches_done = 0;
    int batches_seen = 0;
    std::thread stepper([&] {
        for (int batch = 1; batch <= batches; ++batch) {
            for (int i = 0; i < batch_steps; ++i)
                scene.step();
            std::unique_lock<std::mutex> held(handshake);
            batches_done = batch;
            seen_changed.wait(held, [&] { return batches_seen == batch; });
        }
    });
    std::vector<int> passes_not_shown;
    for (int seen = 0; seen < batches;) {
        int done = 0;
        {
            std::lock_guard<std::mutex> held(handshake);
            done = batches_done;
        }
        draw_frame(scene);
        if (done == seen)
            continue;
        // The stepper waits: the worker's own image is the one it published.
        if (done % 3 == 0 && texture_differences(scene.texture, scene.texture.work_pixels) != 0)
            passes_not_shown.push_back(scene.plane.pass_count);
        {
            std::lock_guard<std::mutex> held(handshake);
            batches_seen = seen = done;
        }
        seen_changed.notify_one();
    }
    stepper.join();
    EXPECT_EQ(scene.plane.pass_count, passes);
    EXPECT_EQ(passes_not_shown, std::vector<int>{});
    EXPECT_FALSE(scene.texture.pixels_changed);
    EXPECT_EQ(scene.lock.misses(), 0);
}

// The count the tests above read: only the thread holding the lock passes.
TEST(hand_over, scene_lock_counts_checks_by_threads_not_holding_it)
{
    scene_lock lock;
    lock.check_held();
    EXPECT_EQ(lock.misses(), 1) << "free";
    {
        std::lock_guard<scene_lock> guard(lock);
        lock.check_held();
        EXPECT_EQ(lock.misses(), 1) << "held here";
        std::thread([&] { lock.check_held(); }).join();
        EXPECT_EQ(lock.misses(), 2) << "held by another thread";
    }
    lock.check_held();
    EXPECT_EQ(lock.misses(), 3) << "released";
}
