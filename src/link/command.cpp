#include "link/command.h"

#include <cstdio>

#include "link/camera.h"
#include "link/stop_request.h"
#include "link/line.h"
#include "link/pause.h"

namespace lumicord::camlink {

std::array<counted_command, COMMAND_COUNT> command_table = INITIAL_COMMANDS;

namespace {
constexpr int COMMAND_PAUSE_MS = 100;
bool camera_answered = false;
}  // namespace

bool camera_has_answered() { return camera_answered; }

void forget_camera_answers() { camera_answered = false; }

void patch_command(command_id cmd, int i, std::uint8_t value) {
    // Byte 0 of a counted command is its length.
    command_table[static_cast<unsigned>(cmd)][static_cast<unsigned>(1 + i)] = value;
}

int send_command(command_id cmd) {
    pause(COMMAND_PAUSE_MS);
    if (stop_requested()) return RES_USER_BREAK;
    const counted_command& c = command_table[static_cast<unsigned>(cmd)];
    // The camera takes its commands a byte at a time.
    for (int i = 1; i <= c[0]; ++i) send_byte(c[static_cast<unsigned>(i)]);
    std::uint8_t answer = 0;
    const long got = read_line(&answer, 1);
    if (stop_requested()) return RES_USER_BREAK;
    int result = 0;
    if (got != 1 || answer != CAMERA_ACK) {
        if (got != 1) result += RES_NO_DATA;
        if (camera_state.model == MODEL_DC20) result += RES_WRONG_DATA;
    }
    if (result == RES_OK) camera_answered = true;
    return result;
}

int send_command_tries(command_id cmd, int tries) {
    int result = RES_NO_DATA;
    for (int i = 0; i < tries; ++i) {
        result = send_command(cmd);
        if (result == RES_OK || result == RES_USER_BREAK) break;
    }
    return result;
}

}  // namespace lumicord::camlink
