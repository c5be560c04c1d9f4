#pragma once

#include <cstddef>

// Makes one chosen allocation of the process fail, to check that a loaded plug-in
// answers as it should and leaves nothing behind when memory or the host runs out.
// Counted allocations: every operator new, and every host array call that makes a
// value or a text (tvCreate..., tvArrayToString). Linux only: the test program
// replaces operator new and puts its own definitions of those host calls in front
// of the host array library, for the loaded plug-ins as well (link the program with
// ENABLE_EXPORTS).

namespace korvex::host::testing::faults {

// The n-th counted allocation from now fails (1: the next one); later ones succeed.
void failAllocation(std::size_t n);
// No allocation fails any more.
void disarm();
// Whether the chosen allocation has come and failed since failAllocation.
bool triggered();

} // namespace korvex::host::testing::faults
