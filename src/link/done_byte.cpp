#include "link/done_byte.h"

#include <cstdint>

#include "link/camera.h"
#include "link/stop_request.h"
#include "link/line.h"

namespace lumicord::camlink {

namespace {
constexpr std::uint8_t DONE_BYTE = 0x00;
// A working camera sends a few bytes at most while it is busy; one that
// never stops talking would otherwise hold the drain for ever.
constexpr int DRAIN_LIMIT = 4 * 1025;
}  // namespace

int drain() {
    std::uint8_t byte = 0;
    for (int drained = 0; drained < DRAIN_LIMIT && read_line(&byte, 1) == 1; ++drained) {
    }
    return stop_requested() ? RES_USER_BREAK : RES_OK;
}

int await_done_byte(int tries) {
    for (int i = 0; i < tries; ++i) {
        std::uint8_t byte = 0xFF;
        const long count = read_line(&byte, 1);
        if (stop_requested()) return RES_USER_BREAK;
        if (count == 1 && byte == DONE_BYTE) return RES_OK;
    }
    return RES_NO_RESPONSE;
}

}  // namespace lumicord::camlink
