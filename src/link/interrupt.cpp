#include "link/interrupt.h"

#include <termios.h>
#include <unistd.h>

#include <array>
#include <csignal>

#include "link/line.h"

namespace lumicord::camlink {

namespace {

volatile std::sig_atomic_t pending_signal = 0;
volatile std::sig_atomic_t saying_goodbye = 0;

constexpr std::array<int, 3> BREAK_SIGNALS = {SIGINT, SIGTERM, SIGHUP};

extern "C" void on_break_signal(int signal_number) {
    if (saying_goodbye != 0) {
        // Only async-signal-safe calls here: restore and leave.
        if (line_state.fd >= 0 && line_state.saved_valid) tcsetattr(line_state.fd, TCSANOW, &line_state.saved);
        _exit(128 + signal_number);
    }
    pending_signal = signal_number;
}

}  // namespace

void install_break_handlers() {
    struct sigaction action {};
    action.sa_handler = on_break_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (int s : BREAK_SIGNALS) sigaction(s, &action, nullptr);
}

int break_signal() { return pending_signal; }

void begin_goodbye() {
    saying_goodbye = 1;
    pending_signal = 0;
}

}  // namespace lumicord::camlink
