#include "front/goodbye.h"

#include <cstdio>
#include <cstdlib>

#include "front/stop_signals.h"
#include "link/camera.h"

namespace lumicord::front {

namespace {
constexpr const char* SITE_ADDRESS = "https://lensvault.example.org/lumicord/";
}  // namespace

void show_closing_notice() {
    std::puts("\n\nLook at my 'Lensvault' site!");
    std::puts(SITE_ADDRESS);
}

void say_goodbye(int status) {
    // Before anything is shown, so that a second signal from a user who
    // sees the program stopping ends it at once.
    const int signal_number = begin_goodbye();
    std::fflush(stdout);
    camlink::camera_disconnect();
    show_closing_notice();
    std::fflush(stdout);
    if (signal_number != 0) end_by_signal(signal_number);
    std::exit(status);
}

void goodbye_if_interrupted() {
    if (stop_signal() != 0) say_goodbye(0);
}

}  // namespace lumicord::front
