#include "link/termios_speed.h"

#include <array>

namespace lumicord::camlink {

namespace {

struct speed_constant_entry {
    long baud;
    speed_t constant;
};

constexpr std::array<speed_constant_entry, 5> CONSTANTS = {{
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
}};

}  // namespace

speed_t speed_constant(long line_speed) {
    for (const speed_constant_entry& e : CONSTANTS)
        if (e.baud == line_speed) return e.constant;
    return B9600;
}

}  // namespace lumicord::camlink
