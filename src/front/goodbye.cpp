#include "front/goodbye.h"

#include <cstdio>
#include <cstdlib>

#include "link/camera.h"
#include "link/interrupt.h"

namespace lumicord::front {

namespace {
constexpr const char* SITE_ADDRESS = "https://lensvault.example.org/lumicord/";
constexpr int SIGNAL_STATUS_BASE = 128;
}  // namespace

void show_closing_notice() {
    std::puts("\n\nLook at my 'Lensvault' site!");
    std::puts(SITE_ADDRESS);
}

void say_goodbye(int status) {
    // Before anything is shown, so that a second signal from a user who
    // sees the program stopping ends it at once.
    const int signal_number = camlink::begin_goodbye();
    if (signal_number != 0) status = SIGNAL_STATUS_BASE + signal_number;
    std::fflush(stdout);
    camlink::drop_leftovers();
    camlink::camera_disconnect();
    show_closing_notice();
    std::fflush(stdout);
    std::exit(status);
}

void goodbye_if_interrupted() {
    if (camlink::break_signal() != 0) say_goodbye(0);
}

}  // namespace lumicord::front
