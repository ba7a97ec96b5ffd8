// The worker's pacing loop with a clock of the test's own: steps that take
// set times, a clock that goes back, a stop request during the sleep.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "scene/worker.h"

namespace {

struct pacing_case {
    const char* name;
    std::int64_t step_change_us;  // the clock's change over each step
    std::size_t back_on_slice;    // the slice (from 1) over which the clock goes back 1 s
    std::size_t stop_on_slice;    // the slice during which a stop is requested
    std::int32_t expected_step_us;
    std::vector<int> expected_slices;  // the sleeps after the first step, in ms
};

// Time passes only in steps and sleeps; the second step requests the stop,
// so the slices recorded are those of the first step's sleep.
struct fake_worker {
    explicit fake_worker(const pacing_case& followed) : script(followed) {}

    const pacing_case& script;
    std::int64_t now = 5000000;
    int steps = 0;
    bool stopping = false;
    std::vector<int> slices;

    static fake_worker& of(void* context) { return *static_cast<fake_worker*>(context); }
    static void step(void* context)
    {
        fake_worker& fake = of(context);
        fake.now += fake.script.step_change_us;
        fake.stopping = ++fake.steps == 2;
    }
    static bool stop_requested(void* context) { return of(context).stopping; }
    static std::int64_t now_us(void* context) { return of(context).now; }
    static void sleep_ms(void* context, int milliseconds)
    {
        fake_worker& fake = of(context);
        fake.slices.push_back(milliseconds);
        fake.now += 1000 * static_cast<std::int64_t>(milliseconds);
        if (fake.slices.size() == fake.script.back_on_slice)
            fake.now -= 1000000;
        if (fake.slices.size() == fake.script.stop_on_slice)
            fake.stopping = true;
    }
};

}  // namespace

TEST(pacing, loop_counts_a_clock_going_back_as_no_time_and_sleeps_in_short_slices)
{
    const pacing_case cases[] = {
        // 50 ms less a 2 ms step, slept as 10+10+10+10+8.
        {"steady", 2000, 0, 0, 2000, {10, 10, 10, 10, 8}},
        // A step over which the clock went back took no time: a whole pace.
        {"back_in_step", -3000, 0, 0, 0, {10, 10, 10, 10, 10}},
        // The third slice counts as none, so 40 ms are still owed after it.
        {"back_in_sleep", 0, 3, 0, 0, {10, 10, 10, 10, 10, 10}},
        // A stop requested during the second slice ends the sleep after it.
        {"stop_in_sleep", 0, 0, 2, 0, {10, 10}},
    };
    for (const pacing_case& c : cases) {
        SCOPED_TRACE(c.name);
        fake_worker fake(c);
        std::atomic<std::int32_t> last_step_us{-1};
        const pacing_parts parts{&fake, fake_worker::step, fake_worker::stop_requested, fake_worker::now_us,
                                 fake_worker::sleep_ms};
        run_paced(parts, last_step_us);
        EXPECT_EQ(last_step_us, c.expected_step_us);
        EXPECT_EQ(fake.slices, c.expected_slices);
        EXPECT_EQ(fake.steps, c.stop_on_slice != 0 ? 1 : 2);
    }
}
