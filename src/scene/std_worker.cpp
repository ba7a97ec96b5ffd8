// The worker's platform parts with the standard library (Linux).
#include <chrono>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "scene/worker.h"

namespace {

std::mutex& platform_mutex(unsigned char* storage)
{
    return *std::launder(reinterpret_cast<std::mutex*>(storage));
}

}  // namespace

scene_lock::scene_lock()
{
    static_assert(sizeof(std::mutex) <= sizeof storage && alignof(std::mutex) <= 16, "room for the mutex");
    new (storage) std::mutex;
}

scene_lock::~scene_lock()
{
    platform_mutex(storage).~mutex();
}

void scene_lock::acquire()
{
    platform_mutex(storage).lock();
}

void scene_lock::release()
{
    platform_mutex(storage).unlock();
}

std::uint32_t scene_worker::start(ball_camera* scene)
{
    try {
        auto* started = new std::thread(worker_main, scene);
        thread = started;
        return static_cast<std::uint32_t>(std::hash<std::thread::id>()(started->get_id()));
    } catch (const std::system_error&) {
        // No thread: the scene stays as it is and is still drawn.
        return 0;
    }
}

void scene_worker::stop()
{
    stopping = true;
    auto* running = static_cast<std::thread*>(thread);
    if (running == nullptr)
        return;
    running->join();
    delete running;
    thread = nullptr;
}

std::uintptr_t calling_thread_id()
{
    // The address of a variable of the thread's own.
    static thread_local const char marker = 0;
    return reinterpret_cast<std::uintptr_t>(&marker);
}

std::int64_t monotonic_microseconds()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void sleep_milliseconds(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
