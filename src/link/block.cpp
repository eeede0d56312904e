#include "link/block.h"

#include "link/camera.h"
#include "link/command.h"
#include "link/stop_request.h"
#include "link/line.h"

namespace lumicord::camlink {

std::array<std::uint8_t, LARGE_BLOCK + 1> transfer_buffer{};

namespace {
constexpr int RESENDS_PER_BLOCK = 4;
}

bool block_checksum_ok(const std::uint8_t* block, std::size_t n) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum ^= block[i];
    return sum == block[n];
}

int receive_block(std::size_t n) {
    if (n > LARGE_BLOCK) n = LARGE_BLOCK;
    const std::size_t wanted = n + 1;
    int resends_left = RESENDS_PER_BLOCK;
    for (;;) {
        std::size_t got = 0;
        // One read asks for everything still missing; silence or an error
        // ends the attempt.
        while (got < wanted) {
            const long count = read_line(transfer_buffer.data() + got, wanted - got);
            if (count <= 0) break;
            got += static_cast<std::size_t>(count);
        }
        if (stop_requested()) return RES_USER_BREAK;
        if (got == wanted && block_checksum_ok(transfer_buffer.data(), n)) return RES_OK;
        if (resends_left == 0) return RES_BAD_PACKET;
        // The line is never flushed: late bytes of the abandoned attempt are
        // read as the start of the repeat, as the camera expects.
        send_byte(BLOCK_RESEND);
        --resends_left;
    }
}

int await_completion() {
    std::uint8_t byte = 0;
    const long count = read_line(&byte, 1);
    if (stop_requested()) return RES_USER_BREAK;
    return count == 1 ? RES_OK : RES_NO_DATA;
}

}  // namespace lumicord::camlink
