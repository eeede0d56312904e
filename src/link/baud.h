// Line speeds and the camera's names for them.
#pragma once

#include <array>
#include <cstdint>

namespace lumicord::camlink {

// The speed the line and camera actually use for a requested baud figure:
// the figure itself when both support it, 9600 otherwise.
long line_speed_for(long baud);

// The two bytes CMD_INIT carries to name a speed: its first four decimal
// digits as packed BCD.
std::array<std::uint8_t, 2> baud_code_for(long line_speed);

}  // namespace lumicord::camlink
