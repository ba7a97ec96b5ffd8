#include "scene/worker.h"

#include <cstdint>

#include "scene/ball_camera.h"

void scene_lock::lock()
{
    acquire();
    holder.store(calling_thread_id(), std::memory_order_relaxed);
}

void scene_lock::unlock()
{
    holder.store(0, std::memory_order_relaxed);
    release();
}

void scene_lock::check_held()
{
    // Only the holder itself has stored its identifier, so another thread
    // never reads its own here.
    if (holder.load(std::memory_order_relaxed) != calling_thread_id())
        missed.fetch_add(1, std::memory_order_relaxed);
}

scene_worker::~scene_worker()
{
    stop();
}

int pacing_sleep_ms(std::int32_t elapsed_us)
{
    const std::int64_t at_pace = 50000 - static_cast<std::int64_t>(elapsed_us);
    const std::int64_t stretched = static_cast<std::int64_t>((elapsed_us * 0.8) / 0.2);
    const std::int64_t sleep_us = at_pace > stretched ? at_pace : stretched;
    return sleep_us > 5000 ? static_cast<int>(sleep_us / 1000) : 0;
}

void worker_main(ball_camera* scene)
{
    scene_worker& worker = scene->worker;
    while (!worker.stop_requested()) {
        const std::int64_t started = monotonic_microseconds();
        scene->step();
        const std::int64_t took = monotonic_microseconds() - started;
        // A clock that went back (a wrapped tick count) counts as no time.
        const std::int32_t elapsed_us =
            took < 0 ? 0 : (took > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(took));
        worker.last_step_us = elapsed_us;
        // The pace's sleep is four times a slow step, which can run to
        // seconds on a busy machine: it is slept in slices of at most 10 ms
        // that watch for a stop request, so that a stopped saver ends soon
        // after its current step.
        const std::int64_t sleep_us = 1000 * static_cast<std::int64_t>(pacing_sleep_ms(elapsed_us));
        const std::int64_t sleep_start = monotonic_microseconds();
        while (!worker.stop_requested()) {
            const std::int64_t slept = monotonic_microseconds() - sleep_start;
            if (slept >= sleep_us || slept < 0)
                break;
            const std::int64_t left_ms = (sleep_us - slept + 999) / 1000;
            sleep_milliseconds(left_ms < 10 ? static_cast<int>(left_ms) : 10);
        }
    }
}
