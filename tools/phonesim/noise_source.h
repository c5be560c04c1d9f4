#pragma once

// Seeded random numbers for the scenario. The 64-bit Mersenne Twister's output is
// fixed by the C++ standard; the distributions are written out here rather than
// taken from <random>, whose algorithms differ between standard libraries, so a
// seed gives the same scenario with every compiler.

#include <cmath>
#include <cstdint>
#include <random>

namespace phonesim {

class NoiseSource {
public:
    explicit NoiseSource(std::uint64_t seed) : engine(seed) {}

    // Uniform in [0, 1), from the top 53 bits.
    double uniform() { return static_cast<double>(engine() >> 11) * 0x1.0p-53; }

    double uniform(double low, double high) { return low + (high - low) * uniform(); }

    // Normal with mean 0 and the given standard deviation (Box-Muller).
    double gaussian(double sigma) {
        const double u = 1.0 - uniform(); // (0, 1]: the logarithm stays finite
        const double v = uniform();
        return sigma * std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
    }

private:
    std::mt19937_64 engine;
};

} // namespace phonesim
