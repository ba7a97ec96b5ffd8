// The scene's worker thread: it steps the scene at the saver's pace until
// it is asked to stop.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

class ball_camera;

class scene_worker {
public:
    scene_worker() = default;
    // Stops and waits for the thread, if one runs.
    ~scene_worker();
    scene_worker(const scene_worker&) = delete;
    scene_worker& operator=(const scene_worker&) = delete;

    // Starts the thread on worker_main(scene); returns its identifier.
    std::uint32_t start(ball_camera* scene);
    // Asks the thread to stop after its current step and waits for it.
    void stop();
    bool stop_requested() const { return stopping; }

    // Duration of the last step in microseconds, for on-screen statistics.
    std::atomic<std::int32_t> last_step_us{0};

private:
    std::thread thread;
    std::atomic<bool> stopping{false};
};

// The worker thread's routine: step, then sleep so that a pass takes about
// 50 ms, until the scene's worker is asked to stop.
void worker_main(ball_camera* scene);

// Milliseconds to sleep after a step that took elapsed_us microseconds, or 0
// for no sleep: 50 ms a pass while a step takes up to 10 ms, four times the
// step's time beyond.
int pacing_sleep_ms(std::int32_t elapsed_us);
