#include "scene/worker.h"

#include <algorithm>
#include <chrono>
#include <functional>

#include "scene/ball_camera.h"

scene_worker::~scene_worker()
{
    stop();
}

std::uint32_t scene_worker::start(ball_camera* scene)
{
    thread = std::thread(worker_main, scene);
    return static_cast<std::uint32_t>(std::hash<std::thread::id>()(thread.get_id()));
}

void scene_worker::stop()
{
    stopping = true;
    if (thread.joinable())
        thread.join();
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
    using clock = std::chrono::steady_clock;
    scene_worker& worker = scene->worker;
    while (!worker.stop_requested()) {
        const auto started = clock::now();
        scene->step();
        const auto took = std::chrono::duration_cast<std::chrono::microseconds>(clock::now() - started).count();
        const std::int32_t elapsed_us = took > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(took);
        worker.last_step_us = elapsed_us;
        // The pace's sleep is four times a slow step, which can run to
        // seconds on a busy machine: it watches for a stop request, so that
        // a stopped saver ends within about 10 ms of its current step.
        const auto wake = clock::now() + std::chrono::milliseconds(pacing_sleep_ms(elapsed_us));
        for (auto now = clock::now(); now < wake && !worker.stop_requested(); now = clock::now())
            std::this_thread::sleep_for(std::min<clock::duration>(wake - now, std::chrono::milliseconds(10)));
    }
}
