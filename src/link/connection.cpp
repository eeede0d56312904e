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
// A camera left at the working speed has its parser fed with noise by the
// tries at 9600; the second try reaches it in step. Two tries keep the
// search for a camera that is simply absent 3.2 s longer than before.
constexpr int LEFT_AT_SPEED_TRIES = 2;
constexpr int HOME_TRIES = 3;
constexpr long HOME_SPEED = 9600;
// A camera cut off in mid-transfer sends at most the rest of one block
// before it waits for the host again; the bound only keeps a camera that
// never stops talking from holding up the goodbye for ever.
constexpr std::size_t LEFTOVER_LIMIT = 4 * (LARGE_BLOCK + 1);

void patch_baud_code(long line_speed) {
    const auto code = baud_code_for(line_speed);
    patch_command(CMD_INIT, 2, code[0]);
    patch_command(CMD_INIT, 3, code[1]);
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

// A run that was killed, or lost its cable or power, leaves the camera at
// the working speed, where it hears nothing at 9600. Asks it there: RES_OK
// when it answers, with the line left at that speed. Otherwise the line goes
// back to 9600, except after a stop: the camera may have moved, and the
// goodbye's call back to 9600 must reach it.
int find_camera_left_at(long speed) {
    patch_baud_code(speed);
    set_line_speed(speed);
    const int result = send_command_tries(CMD_INIT, LEFT_AT_SPEED_TRIES);
    if (result == RES_OK || result == RES_USER_BREAK) return result;
    patch_baud_code(HOME_SPEED);
    set_line_speed(HOME_SPEED);
    return result;
}

// On a line open at 9600: finds the camera and moves camera and line to the
// working speed for baud; after silence at 9600 asks at the working speed
// too, unless that was asked already.
int find_camera_and_switch(long baud, bool asked_at_speed) {
    const long speed = line_speed_for(baud);
    // Stage 1: is there a camera at 9600 at all?
    int result = send_command_tries(CMD_INIT, CONNECT_TRIES);
    // Silence, also from a camera already known as a DC20 (when the line
    // came back), for which silence carries a second bit.
    const bool silence = (result & RES_NO_DATA) != 0;
    if (silence && speed != HOME_SPEED && !asked_at_speed && !line_lost()) {
        // Only silence: perhaps the camera is still at the working speed.
        // If it answers there, the middle stages have nothing left to do.
        const int left = find_camera_left_at(speed);
        if (left == RES_USER_BREAK) return left;
        if (left != RES_OK) return result;
        return send_command_tries(CMD_INIT, CONNECT_TRIES);
    }
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

}  // namespace

int camera_connect(const char* device, long baud) {
    forget_camera_answers();
    open_line(device, HOME_SPEED);
    return find_camera_and_switch(baud, false);
}

int camera_refind(long baud) {
    forget_camera_answers();
    const long speed = line_speed_for(baud);
    // A line that came back is most often an adapter plugged in again,
    // behind which the camera kept its power and its working speed: asked
    // there first, it is back in a moment instead of after the search at
    // 9600.
    if (speed != HOME_SPEED) {
        const int left = find_camera_left_at(speed);
        if (left == RES_USER_BREAK) return left;
        if (left == RES_OK) return send_command_tries(CMD_INIT, CONNECT_TRIES);
    }
    patch_baud_code(HOME_SPEED);
    return find_camera_and_switch(baud, true);
}

void camera_disconnect() {
    if (!line_open()) return;
    // Nothing reaches a camera behind a line that is gone.
    if (line_lost()) {
        close_line();
        return;
    }
    // A camera that has not answered since the line was opened (or came
    // back) is not there to have been cut off, nor to be waited for: its
    // silence would only hold the exit up.
    const bool answered = camera_has_answered();
    if (take_cut_exchange() && answered) drop_leftovers();
    // Sent at whatever speed the line has now, so a camera that already
    // moved hears it; one left at 9600 by a failed connect ignores it. A
    // camera left behind at the working speed answers the next run only
    // there, so one that has answered is asked again when it does not
    // acknowledge.
    patch_baud_code(HOME_SPEED);
    send_command_tries(CMD_INIT, answered ? HOME_TRIES : 1);
    set_line_speed(HOME_SPEED);
    close_line();
}

}  // namespace lumicord::camlink
