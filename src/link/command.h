// The camera's commands and the exchange of one command for one
// acknowledgement byte.
#pragma once

#include <array>
#include <cstdint>

namespace lumicord::camlink {

inline constexpr std::uint8_t CAMERA_ACK = 0xD1;    // camera accepts a command
inline constexpr std::uint8_t BLOCK_OK = 0xD2;      // host accepts a block
inline constexpr std::uint8_t BLOCK_RESEND = 0xE3;  // host asks for a block again
inline constexpr std::uint8_t COMMAND_END = 0x1A;

enum command_id : int {
    CMD_INIT,
    CMD_STATUS,
    CMD_SNAP,
    CMD_GET_PICTURE,
    CMD_PICTURE_INFO,
    CMD_THUMBNAIL,
    CMD_ERASE,
    CMD_RES_LOW,
    CMD_RES_HIGH,
    COMMAND_COUNT
};

inline constexpr int COMMAND_LENGTH = 8;
// A counted byte string: the length byte, then the command bytes.
using counted_command = std::array<std::uint8_t, 1 + COMMAND_LENGTH>;

inline constexpr std::array<counted_command, COMMAND_COUNT> INITIAL_COMMANDS = {{
    {8, 0x41, 0x00, 0x96, 0x00, 0x00, 0x00, 0x00, COMMAND_END},  // CMD_INIT, 9600's code
    {8, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, COMMAND_END},  // CMD_STATUS
    {8, 0x77, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, COMMAND_END},  // CMD_SNAP
    {8, 0x51, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, COMMAND_END},  // CMD_GET_PICTURE
    {8, 0x55, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, COMMAND_END},  // CMD_PICTURE_INFO
    {8, 0x56, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, COMMAND_END},  // CMD_THUMBNAIL
    {8, 0x7A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, COMMAND_END},  // CMD_ERASE
    {8, 0x71, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, COMMAND_END},  // CMD_RES_LOW
    {8, 0x71, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, COMMAND_END},  // CMD_RES_HIGH
}};

// Mutable: callers patch the picture number and the baud code in place just
// before sending, and the patch stays until the next one.
extern std::array<counted_command, COMMAND_COUNT> command_table;

// Whether the camera has acknowledged a command since the line was opened
// or came back: only a camera known to be there is worth waiting for.
bool camera_has_answered();

// Forgets the acknowledgements so far, for a line opened afresh: whatever
// answered before may not be behind it now.
void forget_camera_answers();

// Sets command byte i (0..7) of cmd in command_table; the patch stays until
// the next one.
void patch_command(command_id cmd, int i, std::uint8_t value);

// Waits the pause every command needs, writes the command bytes one at a
// time and reads one acknowledgement byte. 0 when the camera acknowledged;
// otherwise RES_NO_DATA for silence plus RES_WRONG_DATA once the camera is
// known to be a DC20 (before that any byte counts as acknowledgement).
// RES_USER_BREAK when the user asked to stop.
int send_command(command_id cmd);

// send_command up to tries times, stopping at the first success (or a
// break); returns the last result.
int send_command_tries(command_id cmd, int tries);

}  // namespace lumicord::camlink
