#pragma once

#include <cstddef>

// Makes one chosen allocation of the process fail, to check that the converter
// answers null and leaves nothing behind when memory or the host runs out. Counted
// allocations: every operator new, and every host array call that makes a value or
// a text (tvCreate..., tvArrayToString). Linux only: the test program replaces
// operator new and puts its own definitions of those host calls in front of the
// host array library, for the loaded plug-in as well.

namespace kineconvert::testing::faults {

// The n-th counted allocation from now fails (1: the next one); later ones succeed.
void failAllocation(std::size_t n);
// No allocation fails any more.
void disarm();
// Whether the chosen allocation has come and failed since failAllocation.
bool triggered();

} // namespace kineconvert::testing::faults
