#include "random/random.h"

#include <ctime>

// Defined together so that the engine is seeded before the generator that
// refers to it is built (static initialisation runs in definition order).
std::mt19937 random_engine(time_seed());
uniform_real_generator uniform_generator(random_engine);

std::uint32_t time_seed()
{
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(std::time(nullptr)));
}

void seed_random_engine(std::uint32_t seed)
{
    random_engine.seed(seed);
}

uniform_real_generator::uniform_real_generator(std::mt19937& engine, double low, double high)
    : engine(engine),
      scale(1.0 / (static_cast<double>(std::mt19937::max()) + 1.0)),
      low(low),
      high(high)
{
}

double uniform_real_generator::operator()()
{
    double u;
    do {
        u = static_cast<double>(engine()) * scale;
    } while (!(u < 1.0));
    return low + (u - 0.0) / (1.0 - 0.0) * (high - low);
}
