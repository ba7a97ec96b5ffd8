// The scene's worker thread and its one lock. The thread, the lock, the
// clock and the sleep are the platform's own (win32_worker.cpp on Windows,
// std_worker.cpp elsewhere); the pacing is common to both (worker.cpp).
#pragma once

#include <atomic>
#include <cstdint>

class ball_camera;

// The scene's one lock, usable with std::lock_guard: a critical section on
// Windows, a standard mutex elsewhere. It knows which thread holds it.
class scene_lock {
public:
    scene_lock();
    ~scene_lock();
    scene_lock(const scene_lock&) = delete;
    scene_lock& operator=(const scene_lock&) = delete;

    void lock();
    void unlock();

    // Called where data the threads share is copied or changed: counts a
    // call from a thread that does not hold the lock. Such a copy mostly
    // looks right, so tests read the count instead.
    void check_held();
    std::int32_t misses() const { return missed.load(std::memory_order_relaxed); }

private:
    // The platform's own locking.
    void acquire();
    void release();

    // Room for the platform's lock object, which this header does not name.
    alignas(16) unsigned char storage[64];
    // The holding thread's calling_thread_id(), 0 while free.
    std::atomic<std::uintptr_t> holder{0};
    std::atomic<std::int32_t> missed{0};
};

// The calling thread's identifier on the platform, never 0.
std::uintptr_t calling_thread_id();

class scene_worker {
public:
    scene_worker() = default;
    // Stops and waits for the thread, if one runs.
    ~scene_worker();
    scene_worker(const scene_worker&) = delete;
    scene_worker& operator=(const scene_worker&) = delete;

    // Starts the thread on worker_main(scene) and returns its identifier. A
    // thread that cannot be created leaves the scene unstepped (0).
    std::uint32_t start(ball_camera* scene);
    // Asks the thread to stop after its current step and waits for it.
    void stop();
    bool stop_requested() const { return stopping; }

    // Duration of the last step in microseconds, for on-screen statistics.
    std::atomic<std::int32_t> last_step_us{0};

private:
    void* thread = nullptr;  // the platform's thread object
    std::atomic<bool> stopping{false};
};

// The worker thread's routine: step, then sleep so that a pass takes about
// 50 ms, until the scene's worker is asked to stop.
void worker_main(ball_camera* scene);

// What the pacing loop works with: worker_main hands it the scene's step,
// its worker's stop request and the platform's clock and sleep; tests hand
// it a clock of their own. Each call gets the context.
struct pacing_parts {
    void* context;
    void (*step)(void* context);
    bool (*stop_requested)(void* context);
    std::int64_t (*now_us)(void* context);
    void (*sleep_ms)(void* context, int milliseconds);
};

// Steps and sleeps to the pace until a stop is requested, writing each
// step's duration to last_step_us. A clock that goes back counts as no time
// passed, in the step and in the sleep.
void run_paced(const pacing_parts& parts, std::atomic<std::int32_t>& last_step_us);

// The pace: a step every 50 ms, the frames' period too.
constexpr std::int64_t step_period_us = 50000;

// Milliseconds to sleep after a step that took elapsed_us microseconds, or 0
// for no sleep: a step every step_period_us while a step takes up to 10 ms,
// four times the step's time beyond.
int pacing_sleep_ms(std::int32_t elapsed_us);

// The platform's monotonic clock in microseconds, and its sleep.
std::int64_t monotonic_microseconds();
void sleep_milliseconds(int milliseconds);
