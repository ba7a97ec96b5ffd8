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
    const std::int64_t at_pace = step_period_us - static_cast<std::int64_t>(elapsed_us);
    const std::int64_t stretched = static_cast<std::int64_t>((elapsed_us * 0.8) / 0.2);
    const std::int64_t sleep_us = at_pace > stretched ? at_pace : stretched;
    return sleep_us > 5000 ? static_cast<int>(sleep_us / 1000) : 0;
}

void run_paced(const pacing_parts& parts, std::atomic<std::int32_t>& last_step_us)
{
    void* const context = parts.context;
    while (!parts.stop_requested(context)) {
        const std::int64_t started = parts.now_us(context);
        parts.step(context);
        const std::int64_t ended = parts.now_us(context);
        const std::int64_t took = ended - started;
        // A clock that went back (a wrapped tick count, or a performance
        // counter read on another processor) counts as no time.
        const std::int32_t elapsed_us = took < 0 ? 0 : (took > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(took));
        last_step_us = elapsed_us;
        // The pace's sleep is four times a slow step, which can run to
        // seconds on a busy machine: it is slept in slices of at most 10 ms
        // that watch for a stop request, so that a stopped saver ends soon
        // after its current step. Time is counted slice by slice, a slice
        // over which the clock went back as none, so that such a jump
        // neither ends the sleep nor stretches it by the jump.
        const std::int64_t sleep_us = 1000 * static_cast<std::int64_t>(pacing_sleep_ms(elapsed_us));
        std::int64_t slept = 0;
        std::int64_t before = ended;
        while (!parts.stop_requested(context) && slept < sleep_us) {
            const std::int64_t left_ms = (sleep_us - slept + 999) / 1000;
            parts.sleep_ms(context, left_ms < 10 ? static_cast<int>(left_ms) : 10);
            const std::int64_t after = parts.now_us(context);
            if (after > before)
                slept += after - before;
            before = after;
        }
    }
}

namespace {

void step_scene(void* scene)
{
    static_cast<ball_camera*>(scene)->step();
}

bool scene_stop_requested(void* scene)
{
    return static_cast<ball_camera*>(scene)->worker.stop_requested();
}

std::int64_t platform_now_us(void*)
{
    return monotonic_microseconds();
}

void platform_sleep_ms(void*, int milliseconds)
{
    sleep_milliseconds(milliseconds);
}

}  // namespace

void worker_main(ball_camera* scene)
{
    const pacing_parts parts{scene, step_scene, scene_stop_requested, platform_now_us, platform_sleep_ms};
    run_paced(parts, scene->worker.last_step_us);
}
