#include "link/camera.h"
#include "link/command.h"
#include "link/done_byte.h"

namespace lumicord::camlink {

int switch_resolution() {
    int result = query_status();
    if (result != RES_OK) return result;
    if (camera_state.model == MODEL_DC25) return RES_NOT_ON_DC25;
    // The camera changes resolution only with an empty memory.
    if (camera_state.pictures_taken != 0) return RES_IMPOSSIBLE;
    result = send_command(camera_state.resolution == 1 ? CMD_RES_HIGH : CMD_RES_LOW);
    if (result != RES_OK) return result;
    result = drain();
    if (result != RES_OK) return result;
    return query_status();
}

}  // namespace lumicord::camlink
