// A serial line that went away: the adapter unplugged, the terminal hung
// up. The user is told once, the device is let go at once (so that the
// system gives a returning adapter its old name) and looked for again for
// a while; when it is back, camera and line are set up as at the start and
// the program carries on.
#pragma once

namespace lumicord::front {

inline constexpr int LINE_RETURN_SECONDS = 60;

// Does nothing and returns false unless the line is lost. Otherwise says so
// on standard error, waits for the device and returns true once it is open
// again, with the camera found (or not: then the commands fail as on a
// silent camera). Does not return when the device is not back in time
// (the goodbye, status -1) or a stop signal ends the wait.
bool bring_line_back();

}  // namespace lumicord::front
