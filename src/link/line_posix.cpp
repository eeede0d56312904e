#include "link/line.h"
#include "link/line_testing.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/owners.h"
#include "link/baud.h"
#include "link/group_name.h"
#include "link/line_records_guard.h"
#include "link/port_driver.h"
#include "link/port_listing.h"
#include "link/stop_request.h"
#include "link/termios_speed.h"

namespace lumicord::camlink {

namespace {

constexpr cc_t READ_TIMEOUT_DECISECONDS = 15;

// What the device had when the program first opened it, put back at every
// way out however often the line went and came back: a returning device
// has its driver's defaults, or the dead one's last settings (the working
// ones, without CLOCAL), and neither is what the user had set.
struct device_own_record {
    const char* path = nullptr;  // as the user named it or the port table gave it
    termios settings{};
    bool settings_valid = false;
    bool flags_changed = false;  // the first open asked for low latency...
    int flags = 0;               // ...over these serial flags
};

// What one open holds, and gives up when the device is closed.
struct open_record {
    int fd = -1;
    port_claim claim;
    // The device went away under us (see line_lost). Atomic: the stop
    // handler reads it, and it changes outside the records' flag.
    std::atomic<bool> gone{false};
};

device_own_record device_own;
open_record line_now;
termios working{};  // built by the program, not read from the device

termios build_working_settings() {
    termios t;
    std::memset(&t, 0, sizeof t);
    cfmakeraw(&t);
    // cfmakeraw leaves flags the camera line must not have (and lacks CREAD
    // and IGNBRK on Linux), so the flags are set outright.
    t.c_iflag = IGNBRK;
    t.c_oflag = 0;
    t.c_cflag = CS8 | CREAD | PARENB;
    t.c_lflag = 0;
    for (cc_t& c : t.c_cc) c = 0;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = READ_TIMEOUT_DECISECONDS;
    cfsetospeed(&t, B9600);
    cfsetispeed(&t, B9600);
    return t;
}

// A device the user may not open is almost always one owned by a group the
// user is not in; naming it saves a search. Joining helps only when the
// group may read and write the device, and joining root is no advice.
void explain_permission(const char* device) {
    struct stat st {};
    if (stat(device, &st) != 0) return;
    if ((st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP) || st.st_gid == 0) return;
    const std::string name = group_name(st.st_gid);
    if (name.empty()) return;
    std::fprintf(stderr,
                 "%s belongs to the group %s: join it with \"sudo usermod -aG %s $USER\", then log in again.\n",
                 device, name.c_str(), name.c_str());
}

// failed_call names the system call that failed, as perror would.
[[noreturn]] void fail_open(const char* device, int error, const char* failed_call) {
    // Another Lumicord shows up at the lock, or, for a user other than root,
    // already at the open: the port it holds exclusively refuses a user's
    // open with EBUSY.
    const bool in_use = (std::strcmp(failed_call, "flock") == 0 && error == EWOULDBLOCK) ||
                        (std::strcmp(failed_call, "open") == 0 && error == EBUSY);
    if (in_use) {
        std::fprintf(stderr, "%s is in use by another program.\n", device);
    } else {
        errno = error;
        std::perror(failed_call);
    }
    std::fprintf(stderr, "Could not open %s for read/write.\n", device);
    if (error == EACCES) explain_permission(device);
    if (error == ENOENT) hint_serial_ports(device);
    std::exit(-1);
}

// The device cannot be set up for the camera (it is already left as it
// was): say so and stop.
[[noreturn]] void fail_setup(const char* device, int error, const char* failed_call) {
    errno = error;
    std::perror(failed_call);
    std::fprintf(stderr, "Could not init %s for camera access.\n", device);
    std::exit(-1);
}

// The errors by which a device says it is no longer there.
bool device_gone_error(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

// A failed call on the open line: a device that went away makes the line
// lost, quietly (the front end says it once); anything else is reported.
void report_line_failure(const char* failed_call) {
    const int error = errno;
    if (device_gone_error(error)) {
        line_now.gone = true;
        return;
    }
    errno = error;
    std::perror(failed_call);
}

// Parity is the one setting a pseudo-terminal cannot keep: Linux drops
// PARENB, and the C library then reports EINVAL for a change that
// otherwise took effect. Only that difference is forgiven.
bool took_effect_but_parity(int fd, const termios& wanted) {
    termios now{};
    if (tcgetattr(fd, &now) != 0) return false;
    constexpr tcflag_t PARITY = PARENB | PARODD;
    return now.c_iflag == wanted.c_iflag && now.c_oflag == wanted.c_oflag && now.c_lflag == wanted.c_lflag &&
           (now.c_cflag & ~PARITY) == (wanted.c_cflag & ~PARITY) && cfgetispeed(&now) == cfgetispeed(&wanted) &&
           cfgetospeed(&now) == cfgetospeed(&wanted) && now.c_cc[VMIN] == wanted.c_cc[VMIN] &&
           now.c_cc[VTIME] == wanted.c_cc[VTIME];
}

// tcsetattr, forgiving a device that cannot keep parity; errno as it left it.
int apply_settings(int fd, const termios& wanted) {
    if (tcsetattr(fd, TCSANOW, &wanted) == 0) return 0;
    if (errno != EINVAL) return -1;
    if (took_effect_but_parity(fd, wanted)) return 0;
    errno = EINVAL;
    return -1;
}

// Devices whose driver has no locks (some network and virtual ports) answer
// flock with one of these; the exclusive hold still keeps others out.
bool lock_unsupported(int error) { return error == ENOLCK || error == EOPNOTSUPP || error == EINVAL; }

// Why a set-up failed: the system call and its errno.
struct set_up_failure {
    const char* failed_call = nullptr;
    int error = 0;
};

// Opens device and makes it the line at 9600 baud; on failure the device is
// left as it was and closed. Only the first open takes the device's own
// settings.
set_up_failure set_up_line(const char* device, bool first) {
    // O_NONBLOCK keeps the open from waiting for a carrier that a three-wire
    // camera cable never raises; it is cleared before any I/O so reads block
    // with the line's timeout. O_NOCTTY keeps the device from becoming our
    // controlling terminal, O_CLOEXEC from passing to a program we start.
    owned_descriptor fd(::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) return {"open", errno};
    // Two programs on one line would corrupt each other's transfers.
    if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && !lock_unsupported(errno)) return {"flock", errno};
    const port_claim claim = claim_port(fd.get());
    const auto give_back = [&](const char* failed_call) {
        const int error = errno;
        release_port(fd.get(), claim);
        return set_up_failure{failed_call, error};
    };
    // Left non-blocking, every read would return at once: every timeout of
    // the protocol would be gone and the camera would look absent.
    const int flags = fcntl(fd.get(), F_GETFL);
    if (flags < 0 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return give_back("fcntl");

    const termios wanted = build_working_settings();
    termios found{};
    const bool found_valid = tcgetattr(fd.get(), &found) == 0;
    if (apply_settings(fd.get(), wanted) != 0) return give_back("tcsetattr");
    // What an earlier run left unread (the rest of a block, when it was
    // killed mid-transfer) is no answer to anything we will ask.
    tcflush(fd.get(), TCIFLUSH);
    begin_records_change();
    if (first) {
        device_own.settings = found;
        device_own.settings_valid = found_valid;
        device_own.flags_changed = claim.flags_changed;
        device_own.flags = claim.saved_flags;
    }
    working = wanted;
    line_now.claim = claim;
    line_now.gone = false;
    line_now.fd = fd.release();
    end_records_change();
    return {};
}

// What the device gives back at its close: this open's exclusive hold, and
// the serial flags the first open found.
port_claim claim_to_release() {
    port_claim claim = line_now.claim;
    claim.flags_changed = device_own.flags_changed;
    claim.saved_flags = device_own.flags;
    return claim;
}

}  // namespace

void open_line(const char* device, long baud) {
    begin_records_change();
    device_own = device_own_record{};
    device_own.path = device;
    end_records_change();
    const set_up_failure failure = set_up_line(device, true);
    if (failure.failed_call != nullptr) {
        const bool opening = std::strcmp(failure.failed_call, "open") == 0 ||
                             std::strcmp(failure.failed_call, "flock") == 0;
        if (opening) fail_open(device, failure.error, failure.failed_call);
        fail_setup(device, failure.error, failure.failed_call);
    }
    set_line_speed(baud);
}

bool reopen_line() {
    if (line_now.fd >= 0 || device_own.path == nullptr) return false;
    return set_up_line(device_own.path, false).failed_call == nullptr;
}

bool line_open() { return line_now.fd >= 0; }

bool line_lost() { return line_now.gone; }

int line_hangup_descriptor() { return line_now.gone ? -1 : line_now.fd; }

bool line_hung_up() {
    if (line_now.fd < 0) return line_now.gone;
    if (line_now.gone) return true;
    pollfd watch{line_now.fd, 0, 0};
    if (poll(&watch, 1, 0) == 1 && (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) line_now.gone = true;
    return line_now.gone;
}

void set_line_speed(long baud) {
    const speed_t speed = speed_constant(line_speed_for(baud));
    cfsetospeed(&working, speed);
    cfsetispeed(&working, speed);
    if (line_now.gone) return;
    // A driver may sleep here too; a signal then only delays the change.
    int applied = apply_settings(line_now.fd, working);
    while (applied != 0 && errno == EINTR) applied = apply_settings(line_now.fd, working);
    if (applied != 0) report_line_failure("tcsetattr");
}

const termios& line_working_settings() { return working; }

namespace {

void put_device_back() {
    const int fd = line_now.fd;
    if (fd < 0 || line_now.gone) return;
    if (device_own.settings_valid) tcsetattr(fd, TCSANOW, &device_own.settings);
    release_port(fd, claim_to_release());
}

}  // namespace

void restore_device() {
    if (take_records_for_handler()) put_device_back();
}

void close_line() {
    const int fd = line_now.fd;
    if (fd < 0) return;
    put_device_back();
    // Marked closed before the descriptor goes, so that the stop handler's
    // path to the exit never touches a closed (or reused) descriptor; the
    // device is already as it was.
    begin_records_change();
    line_now.fd = -1;
    end_records_change();
    ::close(fd);
}

void adopt_line_descriptor(int fd) {
    begin_records_change();
    device_own = device_own_record{};
    line_now.claim = port_claim{};
    line_now.gone = false;
    line_now.fd = fd;
    end_records_change();
}

void forget_device_settings() {
    device_own.settings_valid = false;
    device_own.flags_changed = false;
}

void send_byte(std::uint8_t byte) {
    if (line_now.gone) return;
    for (;;) {
        if (::write(line_now.fd, &byte, 1) == 1) return;
        // A serial driver may sleep in a write, and a stop signal then
        // interrupts it: that is the user's stop, which the exchange sees at
        // its next look at the request, and no failure of the line. Another
        // signal only delays the byte.
        if (errno == EINTR) {
            if (stop_requested()) return;
            continue;
        }
        report_line_failure("write");
        return;
    }
}

long read_line(std::uint8_t* buffer, std::size_t count) {
    // A signal that lands between this test and the read only delays the
    // stop until the read returns: with the next bytes, or after the line's
    // 1.5 s timeout at the latest.
    if (stop_requested()) {
        errno = EINTR;
        return -1;
    }
    if (line_now.gone) return 0;
    const long got = static_cast<long>(::read(line_now.fd, buffer, count));
    if (got < 0 && device_gone_error(errno)) {
        line_now.gone = true;
        return 0;
    }
    // Silence ends a read only after the line's timeout; an end at once may
    // be a device that is gone, which poll then confirms. A short read alone
    // is no proof: some systems end reads at once on a port without carrier.
    if (got == 0) line_hung_up();
    return got;
}

}  // namespace lumicord::camlink
