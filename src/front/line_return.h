// A serial line that went away: the adapter unplugged, the terminal hung
// up. The user is told once, the device is let go at once (so that the
// system gives a returning adapter its old name) and looked for again for
// a while; when it is back, camera and line are set up as at the start and
// the program carries on.
#pragma once

#include <chrono>

namespace lumicord::front {

inline constexpr int LINE_RETURN_SECONDS = 60;

// The minute a lost line is waited for, from the first loss until the
// caller gets something done on the line again (and starts a fresh one).
// A line that keeps coming back only to go again soon after (a loose
// connector) thus cannot hold the program for ever.
struct line_wait {
    bool running = false;
    std::chrono::steady_clock::time_point deadline{};
    bool was_back = false;  // the line came back within it, and went again
};

// Does nothing and returns false unless the line is lost. Otherwise says so
// on standard error, waits for the device and returns true once it is open
// again, with the camera found (or not: then the commands fail as on a
// silent camera). Does not return when the device is not back before the
// wait's minute is up (the goodbye, status -1) or a stop signal ends the
// wait. Without a wait of the caller's, a minute from this loss.
bool bring_line_back(line_wait& wait);
bool bring_line_back();

}  // namespace lumicord::front
