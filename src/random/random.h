// Program-wide random numbers: one mt19937 engine seeded from the calendar
// time and a uniform generator of doubles in [0, 1) bound to it.
#pragma once

#include <cstdint>
#include <random>

class uniform_real_generator {
public:
    // The range is [low, high); the saver only uses [0, 1).
    explicit uniform_real_generator(std::mt19937& engine, double low = 0.0, double high = 1.0);

    // One engine output per draw: u = x * 2^-32, exact in double precision.
    // (std::uniform_real_distribution<double> takes two outputs per draw.)
    double operator()();

private:
    std::mt19937& engine;
    double scale;
    double low;
    double high;
};

extern std::mt19937 random_engine;
extern uniform_real_generator uniform_generator;

// The calendar time in whole seconds, truncated to its low 32 bits: the seed
// every run starts from.
std::uint32_t time_seed();

// Restarts the engine from a given seed, for tests and tools that need a
// reproducible scene.
void seed_random_engine(std::uint32_t seed);

// One draw mapped onto [low, high): low + (high - low) * u, in double
// precision.
double random_between(double low, double high);
