// The terminal interface's constant for each line speed (Unix).
#pragma once

#include <termios.h>

namespace lumicord::camlink {

// B9600 for 9600 and for any speed the line does not run at.
speed_t speed_constant(long line_speed);

}  // namespace lumicord::camlink
