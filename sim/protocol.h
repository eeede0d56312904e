// The camera's side of the line: the bytes it answers with and listens for,
// and the codes that name a line speed in the speed-change command.
#pragma once

#include <termios.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace lumicord::sim {

inline constexpr std::uint8_t CAMERA_ACK = 0xD1;    // a command heard
inline constexpr std::uint8_t BLOCK_OK = 0xD2;      // from the host: send the next block
inline constexpr std::uint8_t BLOCK_RESEND = 0xE3;  // from the host: the same block again
inline constexpr std::uint8_t COMMAND_END = 0x1A;   // last of a command's eight bytes
inline constexpr std::uint8_t COMPLETION = 0x00;    // ends an exchange
inline constexpr std::uint8_t DONE_BYTE = 0x00;     // a snap or erase is done
inline constexpr std::uint8_t BUSY_BYTE = 0x01;     // what a busy camera may send before it
inline constexpr std::size_t COMMAND_LENGTH = 8;

struct speed_code {
    long speed;
    speed_t constant;  // the terminal's name for it
    std::uint8_t hi, lo;
};
inline constexpr std::array<speed_code, 5> SPEED_CODES = {{
    {9600, B9600, 0x96, 0x00},
    {19200, B19200, 0x19, 0x20},
    {38400, B38400, 0x38, 0x40},
    {57600, B57600, 0x57, 0x60},
    {115200, B115200, 0x11, 0x52},
}};

}  // namespace lumicord::sim
