#include "random/random.h"

#include <ctime>

// Defined together so that the engine is seeded before the generator that
// refers to it is built (static initialisation runs in definition order).
std::mt19937 random_engine(time_seed());
uniform_real_generator uniform_generator(random_engine);

std::uint32_t time_seed()
{
    // Through unsigned 64 bits: time_t may be signed or wider than 32 bits,
    // and only its low 32 bits seed the engine (a time before 1970 or after
    // 2106 still gives a defined seed).
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(std::time(nullptr)));
}

void seed_random_engine(std::uint32_t seed)
{
    // The generator holds a reference to the engine and no state of its
    // own, so reseeding the engine restarts the draws at once.
    random_engine.seed(seed);
}

uniform_real_generator::uniform_real_generator(std::mt19937& source, double range_low, double range_high)
    : engine(source), scale(1.0 / (static_cast<double>(std::mt19937::max()) + 1.0)), low(range_low), high(range_high)
{}

double uniform_real_generator::operator()()
{
    // x * 2^-32 is below 1 for every 32-bit x, so the loop runs once; the
    // test keeps the [0, 1) promise should the engine ever change. The
    // mapping onto [low, high) is written as the standard distribution
    // writes it, so that a draw over [0, 1) is exactly u.
    double u;
    do {
        u = static_cast<double>(engine()) * scale;
    } while (!(u < 1.0));
    return low + (u - 0.0) / (1.0 - 0.0) * (high - low);
}

double random_between(double low, double high)
{
    return low + (high - low) * uniform_generator();
}
