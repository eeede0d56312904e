#include "front/line_return.h"

#include <chrono>
#include <cstdio>

#include "front/goodbye.h"
#include "front/options.h"
#include "front/stop_signals.h"
#include "link/camera.h"
#include "link/line.h"

namespace lumicord::front {

namespace {
// Often enough that a returning adapter is used within a blink, seldom
// enough that the wait costs no processor time to speak of.
constexpr int LOOK_INTERVAL_MS = 250;
}  // namespace

bool bring_line_back() {
    if (!camlink::line_lost()) return false;
    const char* device = camlink::line_state.device_path;
    std::fflush(stdout);
    std::fprintf(stderr, "%s is gone; waiting up to %d s for it to come back (Ctrl-C to stop).\n", device,
                 LINE_RETURN_SECONDS);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(LINE_RETURN_SECONDS);
    for (;;) {
        camlink::close_line();
        while (!camlink::reopen_line()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                std::fprintf(stderr, "%s did not come back within %d s.\n", device, LINE_RETURN_SECONDS);
                say_goodbye(-1);
            }
            if (wait_for(-1, -1, LOOK_INTERVAL_MS) == wait_outcome::stopped) goodbye_if_interrupted();
        }
        const int result = camlink::camera_refind(options.baud);
        goodbye_if_interrupted();
        // Gone again while the camera was looked for: the same wait goes on.
        if (camlink::line_lost()) continue;
        if (result == camlink::RES_OK)
            std::fprintf(stderr, "%s is back.\n", device);
        else
            std::fprintf(stderr, "%s is back, but the camera does not answer.\n", device);
        return true;
    }
}

}  // namespace lumicord::front
