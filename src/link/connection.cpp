// Finding the camera, moving camera and line to the working speed, and
// sending both back to 9600 at the end.
#include <array>
#include <cstddef>
#include <cstdint>

#include "link/baud.h"
#include "link/block.h"
#include "link/camera.h"
#include "link/command.h"
#include "link/line.h"
#include "link/stop_request.h"

namespace lumicord::camlink {

namespace {

constexpr int CONNECT_TRIES = 3;
constexpr long HOME_SPEED = 9600;
// A camera cut off in mid-transfer sends at most the rest of one block
// before it waits for the host again; the bound only keeps a camera that
// never stops talking from holding up the goodbye for ever.
constexpr std::size_t LEFTOVER_LIMIT = 4 * (LARGE_BLOCK + 1);

void patch_baud_code(long line_speed) {
    const auto code = baud_code_for(line_speed);
    command_table[CMD_INIT][static_cast<unsigned>(command_byte(2))] = code[0];
    command_table[CMD_INIT][static_cast<unsigned>(command_byte(3))] = code[1];
}

// When a stop cut an exchange short the camera may still be sending: reads
// and drops what comes until the line falls silent, so that the goodbye's
// own command is answered by the camera and not by leftovers (and the line
// does not change speed under a command still on its way).
void drop_leftovers() {
    std::array<std::uint8_t, 64> scrap{};
    std::size_t dropped = 0;
    while (dropped < LEFTOVER_LIMIT) {
        const long count = read_line(scrap.data(), scrap.size());
        if (count <= 0) break;
        dropped += static_cast<std::size_t>(count);
    }
}

}  // namespace

int camera_connect(const char* device, long baud) {
    open_line(device, HOME_SPEED);
    const long speed = line_speed_for(baud);
    // Stage 1: is there a camera at 9600 at all?
    int result = send_command_tries(CMD_INIT, CONNECT_TRIES);
    if (result != RES_OK) return result;
    // Stage 2: ask it to move to the working speed.
    patch_baud_code(speed);
    result = send_command_tries(CMD_INIT, CONNECT_TRIES);
    if (result == RES_USER_BREAK) {
        // The break may have cut short the answer of a camera that has
        // already moved. Follow it, so the goodbye's call back to 9600 goes
        // out at the speed it listens to; one that stayed behind hears only
        // noise and is at 9600 anyway.
        if (speed != HOME_SPEED) set_line_speed(speed);
        return result;
    }
    if (result != RES_OK) return result;
    // Stage 3: follow it there and make sure it still answers.
    set_line_speed(speed);
    return send_command_tries(CMD_INIT, CONNECT_TRIES);
}

void camera_disconnect() {
    if (line_state.fd < 0) return;
    if (take_cut_exchange()) drop_leftovers();
    // Sent at whatever speed the line has now, so a camera that already
    // moved hears it; one left at 9600 by a failed connect ignores it.
    patch_baud_code(HOME_SPEED);
    send_command(CMD_INIT);
    set_line_speed(HOME_SPEED);
    close_line();
}

}  // namespace lumicord::camlink
