#include <gtest/gtest.h>

#include <climits>

#include "host/close_rules.h"

namespace {

TEST(wake_distance, movements_add_up_over_both_axes_until_they_exceed_four_pixels)
{
    EXPECT_FALSE(moved_beyond_wake_distance(100, 100, 100, 100));
    EXPECT_FALSE(moved_beyond_wake_distance(100, 100, 104, 100));
    EXPECT_FALSE(moved_beyond_wake_distance(100, 100, 102, 98));
    EXPECT_FALSE(moved_beyond_wake_distance(100, 100, 96, 100));
    // 3 right, then 2 down: 5 from the start.
    EXPECT_TRUE(moved_beyond_wake_distance(100, 100, 103, 102));
    EXPECT_TRUE(moved_beyond_wake_distance(100, 100, 95, 100));
    EXPECT_TRUE(moved_beyond_wake_distance(-3, -3, 0, 0));
}

TEST(wake_distance, extreme_coordinates_do_not_overflow)
{
    EXPECT_TRUE(moved_beyond_wake_distance(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
    EXPECT_TRUE(moved_beyond_wake_distance(INT32_MAX, 0, INT32_MIN, 0));
    EXPECT_FALSE(moved_beyond_wake_distance(INT32_MIN, INT32_MAX, INT32_MIN + 2, INT32_MAX - 2));
}

TEST(power_event_response, queries_for_suspend_are_granted_without_closing)
{
    EXPECT_EQ(power_event_response(0, 0), power_response::grant);
    EXPECT_EQ(power_event_response(0, 1), power_response::grant);
}

TEST(power_event_response, suspend_and_standby_notices_close)
{
    for (std::uint64_t event = 1; event <= 5; ++event) {
        EXPECT_EQ(power_event_response(event, 0), power_response::close) << event;
        EXPECT_EQ(power_event_response(event, 1), power_response::close) << event;
    }
}

TEST(power_event_response, resumes_close_unless_they_follow_a_failure)
{
    for (std::uint64_t event : {6u, 7u, 8u, 18u}) {
        EXPECT_EQ(power_event_response(event, 0), power_response::close) << event;
        EXPECT_EQ(power_event_response(event, 2), power_response::close) << event;
        EXPECT_EQ(power_event_response(event, 1), power_response::keep_going) << event;
        EXPECT_EQ(power_event_response(event, 3), power_response::keep_going) << event;
    }
}

TEST(power_event_response, status_and_setting_changes_keep_going_and_anything_unknown_closes)
{
    EXPECT_EQ(power_event_response(10, 0), power_response::keep_going);
    EXPECT_EQ(power_event_response(0x8013, 0), power_response::keep_going);
    for (std::uint64_t event : {9u, 11u, 17u, 19u, 0x8012u, 0x10000u})
        EXPECT_EQ(power_event_response(event, 0), power_response::close) << event;
    // A wide parameter is not cut down to a known code.
    EXPECT_EQ(power_event_response(0x100000000ull, 0), power_response::close);
}

TEST(password_refusal, requests_within_200_ms_of_the_last_prompt_are_refused)
{
    EXPECT_FALSE(within_password_refusal(5000, never_checked));
    EXPECT_TRUE(within_password_refusal(5000, 5000));
    EXPECT_TRUE(within_password_refusal(5199, 5000));
    EXPECT_FALSE(within_password_refusal(5200, 5000));
    EXPECT_FALSE(within_password_refusal(60000, 5000));
}

TEST(password_refusal, the_window_survives_a_wrapped_tick_count)
{
    EXPECT_TRUE(within_password_refusal(50, 0xFFFFFFF0u));
    EXPECT_FALSE(within_password_refusal(300, 0xFFFFFFF0u));
    // Just below the value that marks "never".
    EXPECT_TRUE(within_password_refusal(0xFFFFFFFEu, 0xFFFFFF80u));
}

}  // namespace
