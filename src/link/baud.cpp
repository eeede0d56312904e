#include "link/baud.h"

namespace lumicord::camlink {

namespace {

struct speed_entry {
    long baud;
    std::array<std::uint8_t, 2> code;
};

constexpr std::array<speed_entry, 5> SPEEDS = {{
    {9600, {0x96, 0x00}},
    {19200, {0x19, 0x20}},
    {38400, {0x38, 0x40}},
    {57600, {0x57, 0x60}},
    {115200, {0x11, 0x52}},
}};

const speed_entry& entry_for(long baud) {
    for (const speed_entry& e : SPEEDS)
        if (e.baud == baud) return e;
    return SPEEDS[0];
}

}  // namespace

long line_speed_for(long baud) { return entry_for(baud).baud; }

std::array<std::uint8_t, 2> baud_code_for(long line_speed) { return entry_for(line_speed).code; }

}  // namespace lumicord::camlink
