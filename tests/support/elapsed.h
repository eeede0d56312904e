// Wall time since a moment, for the tests that wait out the protocol's
// real timeouts and check that the program waited at least that long.
#pragma once

#include <chrono>

namespace lumicord::testing {

inline double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace lumicord::testing
