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
    const int signal_number = camlink::break_signal();
    if (signal_number != 0) status = SIGNAL_STATUS_BASE + signal_number;
    std::fflush(stdout);
    camlink::begin_goodbye();
    camlink::camera_disconnect();
    show_closing_notice();
    std::fflush(stdout);
    std::exit(status);
}

void goodbye_if_interrupted() {
    if (camlink::break_requested()) say_goodbye(0);
}

}  // namespace lumicord::front
