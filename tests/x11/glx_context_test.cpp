#include <gtest/gtest.h>

#include "x11/glx_context.h"

// Frames are drawn over the last only where the back buffer surely holds
// it: an age of 1, or, where no age is known, a swap that copies.
TEST(glx_context, back_buffer_holds_the_last_frame_only_at_age_1_or_after_a_copy)
{
    struct case_ {
        bool ages_known;
        unsigned int age;
        bool swap_copies;
        buffer_holds holds;
    };
    const case_ cases[] = {
        {true, 0, true, buffer_holds::anything},  // contents undefined, whatever the swap
        {true, 1, false, buffer_holds::last_frame}, {true, 2, true, buffer_holds::anything},
        {false, 0, true, buffer_holds::last_frame}, {false, 0, false, buffer_holds::anything},
    };
    for (const case_& c : cases)
        EXPECT_EQ(back_buffer_after_swap(c.ages_known, c.age, c.swap_copies), c.holds)
            << "ages known " << c.ages_known << ", age " << c.age << ", swap copies " << c.swap_copies;
}
