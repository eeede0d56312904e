#include "link/camera.h"
#include "link/command.h"
#include "link/done_byte.h"

namespace lumicord::camlink {

namespace {
constexpr int ERASE_DONE_TRIES = 31;
}

int erase_memory() {
    int result = query_status();
    if (result != RES_OK) return result;
    if (camera_state.pictures_taken == 0) return RES_IMPOSSIBLE;
    result = send_command(CMD_ERASE);
    if (result != RES_OK) return result;
    // No drain here: the done byte may follow the acknowledgement closely.
    result = await_done_byte(ERASE_DONE_TRIES);
    if (result != RES_OK) return result;
    return query_status();
}

}  // namespace lumicord::camlink
