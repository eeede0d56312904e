// The delay before every command.
#pragma once

namespace lumicord::camlink {

// Waits at least (ms * 128 + 500) / 1000 ticks of a 128 Hz clock, the delay
// the camera was built around (pause(100) is 13 ticks, about 102 ms). It
// sleeps on the monotonic clock rather than spinning, and a signal does not
// cut it short.
void pause(int ms);

}  // namespace lumicord::camlink
