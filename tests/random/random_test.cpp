#include <gtest/gtest.h>

#include <cmath>

#include "random/random.h"

TEST(random, draws_follow_the_standard_mt19937_sequence)
{
    seed_random_engine(5489);
    // First output of the default-seeded mt19937 is 3499211612.
    EXPECT_EQ(uniform_generator(), 3499211612.0 / 4294967296.0);
    std::mt19937 reference(5489);
    reference();
    for (int i = 0; i < 9998; ++i)
        EXPECT_EQ(uniform_generator(), static_cast<double>(reference()) / 4294967296.0);
    // The 10000th output of the default-seeded engine is fixed by the C++ standard.
    EXPECT_EQ(uniform_generator(), 4123659995.0 / 4294967296.0);
}

TEST(random, one_engine_output_per_draw_and_within_zero_to_one)
{
    seed_random_engine(12345);
    std::mt19937 reference(12345);
    for (int i = 0; i < 100000; ++i) {
        const double u = uniform_generator();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
        ASSERT_EQ(u, std::ldexp(static_cast<double>(reference()), -32));
    }
}

TEST(random, runs_seeded_in_the_same_second_draw_the_same_sequence)
{
    const std::uint32_t seed = time_seed();
    seed_random_engine(seed);
    const double a = uniform_generator();
    const double b = uniform_generator();
    seed_random_engine(seed);
    EXPECT_EQ(uniform_generator(), a);
    EXPECT_EQ(uniform_generator(), b);
    EXPECT_NE(a, b);
}
