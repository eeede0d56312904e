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

// Says that the device is not back and ends the program; no goodbye can
// reach the camera now.
[[noreturn]] void give_up(const char* device) {
    std::fprintf(stderr, "%s did not come back within %d s.\n", device, LINE_RETURN_SECONDS);
    say_goodbye(-1);
}

}  // namespace

bool bring_line_back() {
    if (!camlink::line_lost()) return false;
    const char* device = chosen_device();
    std::fflush(stdout);
    std::fprintf(stderr, "%s is gone; waiting up to %d s for it to come back (Ctrl-C to stop).\n", device,
                 LINE_RETURN_SECONDS);
    // The limit runs from the loss, whatever happens meanwhile: a device
    // that keeps coming back for a moment (a loose connector) must not hold
    // the program for ever.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(LINE_RETURN_SECONDS);
    const auto past_deadline = [&] { return std::chrono::steady_clock::now() >= deadline; };
    const auto look_again_later = [&] {
        if (past_deadline()) give_up(device);
        if (wait_for(-1, -1, LOOK_INTERVAL_MS) == wait_outcome::stopped) goodbye_if_interrupted();
    };
    for (;;) {
        camlink::close_line();
        while (!camlink::reopen_line()) look_again_later();
        const int result = camlink::camera_refind(options.baud);
        goodbye_if_interrupted();
        // A return counts once the camera search has finished on a line that
        // stayed up; gone again meanwhile, the same wait goes on (with a
        // pause, so that a device that hangs up as soon as it is opened
        // costs no more than one that is absent).
        if (camlink::line_lost()) {
            camlink::close_line();
            look_again_later();
            continue;
        }
        if (result == camlink::RES_OK)
            std::fprintf(stderr, "%s is back.\n", device);
        else
            std::fprintf(stderr, "%s is back, but the camera does not answer.\n", device);
        return true;
    }
}

}  // namespace lumicord::front
