#pragma once

#include <cstddef>
#include <functional>

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

// Runs run with its first, second, ... counted allocation failing in turn, until a
// run meets no failure (or limit runs have failed). After each run, check learns
// which allocation was to fail and whether the run met that failure. Answers the
// number of runs: more than 1 when run allocates at all.
std::size_t failEachAllocation(const std::function<void()>& run,
                               const std::function<void(std::size_t n, bool failed)>& check,
                               std::size_t limit = 10000);

} // namespace korvex::host::testing::faults
