#include "front/stop_signals.h"

#include <poll.h>
#include <sys/select.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <optional>

#include "link/line.h"
#include "link/stop_request.h"

namespace lumicord::front {

namespace {

volatile std::sig_atomic_t pending_signal = 0;
volatile std::sig_atomic_t saying_goodbye = 0;

constexpr std::array<int, 4> STOP_SIGNALS = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
constexpr int SIGNAL_STATUS_BASE = 128;

extern "C" void on_stop_signal(int signal_number) {
    if (saying_goodbye != 0) {
        // The goodbye's own output to a reader that went away is no reason
        // to hurry: that write just fails.
        if (signal_number == SIGPIPE) return;
        // A user who sees the program stopping and insists: put the device
        // back and go, without waiting for the camera. Safe only because
        // nothing opens the line again once the goodbye has begun (the
        // line's records go from open to closed only); the line keeps its
        // own flag against a change in progress.
        camlink::restore_device();
        end_by_signal(signal_number);
    }
    pending_signal = signal_number;
    camlink::request_stop();
}

sigset_t stop_signal_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : STOP_SIGNALS) sigaddset(&set, s);
    return set;
}

// Sleeps until input_fd is readable, hangup_fd hangs up, the timeout passes
// or a signal arrives; only while it sleeps does it let the stop signals
// through. Returns the outcome, or nothing to wait again.
std::optional<wait_outcome> wait_letting_signals_in(int input_fd, int hangup_fd, int timeout_ms,
                                                    const sigset_t& during_wait) {
    timespec timeout{timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
    timespec* limit = timeout_ms < 0 ? nullptr : &timeout;
#if defined(LUMICORD_HAVE_PPOLL)
    std::array<pollfd, 2> watch{{{input_fd, POLLIN, 0}, {hangup_fd, 0, 0}}};
    const int ready = ppoll(watch.data(), watch.size(), limit, &during_wait);
    if (ready == 0) return wait_outcome::timed_out;
    if (ready < 0) {
        if (errno == EINTR) return std::nullopt;
        return wait_outcome::ready;  // an error the read that follows will report
    }
    if (watch[1].revents != 0) return wait_outcome::hangup;
    return wait_outcome::ready;
#else
    (void)hangup_fd;
    fd_set readable;
    FD_ZERO(&readable);
    if (input_fd >= 0) FD_SET(input_fd, &readable);
    const int ready = pselect(input_fd + 1, &readable, nullptr, nullptr, limit, &during_wait);
    if (ready == 0) return wait_outcome::timed_out;
    if (ready < 0 && errno == EINTR) return std::nullopt;
    return wait_outcome::ready;
#endif
}

}  // namespace

void install_stop_handlers() {
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (int s : STOP_SIGNALS) {
        struct sigaction current {};
        if (sigaction(s, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        sigaction(s, &action, nullptr);
    }
}

int stop_signal() { return pending_signal; }

wait_outcome wait_for(int input_fd, int hangup_fd, int timeout_ms) {
    const sigset_t stops = stop_signal_set();
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &stops, &previous);
    sigset_t during_wait = previous;
    for (int s : STOP_SIGNALS) sigdelset(&during_wait, s);
    std::optional<wait_outcome> outcome;
    // A signal that is not ours (and was let in) only starts the wait anew;
    // the time it already took is not counted again, which only shortens a
    // pause between looks at a device.
    while (pending_signal == 0 && !outcome) outcome = wait_letting_signals_in(input_fd, hangup_fd, timeout_ms, during_wait);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (pending_signal != 0) return wait_outcome::stopped;
    return *outcome;
}

int begin_goodbye() {
    // In this order, so that a signal arriving at any point is either
    // returned here or ends the process in the handler; none is lost.
    saying_goodbye = 1;
    const int signal_number = pending_signal;
    pending_signal = 0;
    camlink::withdraw_stop();
    return signal_number;
}

void end_by_signal(int signal_number) {
    // Only async-signal-safe calls: the handler comes this way too.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal_number);
    // Not reached unless the signal's default action does not end a
    // process; end with the status a shell would have shown.
    _exit(SIGNAL_STATUS_BASE + signal_number);
}

}  // namespace lumicord::front
