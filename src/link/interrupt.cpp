#include "link/interrupt.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>

#include "link/block.h"
#include "link/line.h"

namespace lumicord::camlink {

namespace {

volatile std::sig_atomic_t pending_signal = 0;
volatile std::sig_atomic_t saying_goodbye = 0;
// Touched outside the handler only.
bool exchange_cut = false;

// SIGPIPE too: output to a reader that went away (a closed pipe, a lost
// remote terminal) must not end the program with the camera at the working
// speed and the device in our settings.
constexpr std::array<int, 4> BREAK_SIGNALS = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// A camera cut off in mid-transfer sends at most the rest of one block
// before it waits for the host again; the bound only keeps a camera that
// never stops talking from holding up the goodbye for ever.
constexpr std::size_t LEFTOVER_LIMIT = 4 * (LARGE_BLOCK + 1);

extern "C" void on_break_signal(int signal_number) {
    if (saying_goodbye != 0) {
        // The goodbye's own output to a reader that went away is no reason
        // to hurry: that write just fails.
        if (signal_number == SIGPIPE) return;
        // Only async-signal-safe calls here: restore and leave.
        if (line_state.fd >= 0 && line_state.saved_valid) tcsetattr(line_state.fd, TCSANOW, &line_state.saved);
        _exit(128 + signal_number);
    }
    pending_signal = signal_number;
}

sigset_t break_signal_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : BREAK_SIGNALS) sigaddset(&set, s);
    return set;
}

}  // namespace

void install_break_handlers() {
    struct sigaction action {};
    action.sa_handler = on_break_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (int s : BREAK_SIGNALS) {
        // A signal ignored when we were started (nohup, a background job of
        // a shell without job control) stays ignored, as the user asked.
        struct sigaction current {};
        if (sigaction(s, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        sigaction(s, &action, nullptr);
    }
}

int break_signal() { return pending_signal; }

bool break_requested() {
    if (pending_signal == 0) return false;
    exchange_cut = true;
    return true;
}

bool wait_readable(int fd) {
    const sigset_t breaks = break_signal_set();
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &breaks, &previous);
    sigset_t during_wait = previous;
    for (int s : BREAK_SIGNALS) sigdelset(&during_wait, s);
    pollfd watch{fd, POLLIN, 0};
    while (pending_signal == 0) {
        const int ready = ppoll(&watch, 1, nullptr, &during_wait);
        // Ready, at its end, or an error the read that follows will report.
        if (ready > 0 || (ready < 0 && errno != EINTR)) break;
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return pending_signal == 0;
}

int begin_goodbye() {
    // In this order, so that a signal arriving at any point is either
    // returned here or ends the process in the handler; none is lost.
    saying_goodbye = 1;
    const int signal_number = pending_signal;
    pending_signal = 0;
    return signal_number;
}

void drop_leftovers() {
    if (!exchange_cut || line_state.fd < 0) return;
    exchange_cut = false;
    std::array<std::uint8_t, 64> scrap{};
    std::size_t dropped = 0;
    while (dropped < LEFTOVER_LIMIT) {
        const long count = read_line(scrap.data(), scrap.size());
        if (count <= 0) break;
        dropped += static_cast<std::size_t>(count);
    }
}

}  // namespace lumicord::camlink
