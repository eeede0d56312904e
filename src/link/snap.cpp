#include "link/camera.h"
#include "link/command.h"
#include "link/done_byte.h"

namespace lumicord::camlink {

namespace {
constexpr int SNAP_DONE_TRIES = 11;
}

int snap_picture() {
    int result = query_status();
    if (result != RES_OK) return result;
    if (camera_state.pictures_free == 0) return RES_IMPOSSIBLE;
    // The camera may be too busy to acknowledge; the done byte is what counts.
    if (send_command(CMD_SNAP) == RES_USER_BREAK) return RES_USER_BREAK;
    result = drain();
    if (result != RES_OK) return result;
    result = await_done_byte(SNAP_DONE_TRIES);
    if (result != RES_OK) return result;
    return query_status();
}

}  // namespace lumicord::camlink
