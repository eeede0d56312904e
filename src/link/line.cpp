#include "link/line.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/file_owners.h"
#include "link/baud.h"
#include "link/port_driver.h"
#include "link/port_listing.h"
#include "link/stop_request.h"

namespace lumicord::camlink {

line_state_record line_state;

namespace {

constexpr cc_t READ_TIMEOUT_DECISECONDS = 15;

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
    const group* g = getgrgid(st.st_gid);
    if (g == nullptr || g->gr_name == nullptr) return;
    std::fprintf(stderr,
                 "%s belongs to the group %s: join it with \"sudo usermod -aG %s $USER\", then log in again.\n",
                 device, g->gr_name, g->gr_name);
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
        line_state.gone = true;
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
// left as it was and closed.
set_up_failure set_up_line(const char* device) {
    // O_NONBLOCK keeps the open from waiting for a carrier that a three-wire
    // camera cable never raises; it is cleared before any I/O so reads block
    // with the line's timeout. O_NOCTTY keeps the device from becoming our
    // controlling terminal, O_CLOEXEC from passing to a program we start.
    files::owned_descriptor fd(::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
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

    const termios working = build_working_settings();
    termios saved{};
    const bool saved_valid = tcgetattr(fd.get(), &saved) == 0;
    if (apply_settings(fd.get(), working) != 0) return give_back("tcsetattr");
    // What an earlier run left unread (the rest of a block, when it was
    // killed mid-transfer) is no answer to anything we will ask.
    tcflush(fd.get(), TCIFLUSH);
    line_state.working = working;
    line_state.saved = saved;
    line_state.saved_valid = saved_valid;
    line_state.claim = claim;
    line_state.gone = false;
    line_state.fd = fd.release();
    return {};
}

}  // namespace

void open_line(const char* device, long baud) {
    line_state.device_path = device;
    const set_up_failure failure = set_up_line(device);
    if (failure.failed_call != nullptr) {
        const bool opening = std::strcmp(failure.failed_call, "open") == 0 ||
                             std::strcmp(failure.failed_call, "flock") == 0;
        if (opening) fail_open(device, failure.error, failure.failed_call);
        fail_setup(device, failure.error, failure.failed_call);
    }
    set_line_speed(baud);
}

bool reopen_line() {
    if (line_state.fd >= 0 || line_state.device_path == nullptr) return false;
    return set_up_line(line_state.device_path).failed_call == nullptr;
}

bool line_lost() { return line_state.gone; }

int line_hangup_descriptor() { return line_state.gone ? -1 : line_state.fd; }

bool line_hung_up() {
    if (line_state.fd < 0) return line_state.gone;
    if (line_state.gone) return true;
    pollfd watch{line_state.fd, 0, 0};
    if (poll(&watch, 1, 0) == 1 && (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) line_state.gone = true;
    return line_state.gone;
}

void set_line_speed(long baud) {
    const speed_t speed = speed_constant(line_speed_for(baud));
    cfsetospeed(&line_state.working, speed);
    cfsetispeed(&line_state.working, speed);
    if (line_state.gone) return;
    // A driver may sleep here too; a signal then only delays the change.
    int applied = apply_settings(line_state.fd, line_state.working);
    while (applied != 0 && errno == EINTR) applied = apply_settings(line_state.fd, line_state.working);
    if (applied != 0) report_line_failure("tcsetattr");
}

void restore_device() {
    const int fd = line_state.fd;
    if (fd < 0 || line_state.gone) return;
    if (line_state.saved_valid) tcsetattr(fd, TCSANOW, &line_state.saved);
    release_port(fd, line_state.claim);
}

void close_line() {
    const int fd = line_state.fd;
    if (fd < 0) return;
    restore_device();
    // Marked closed before the descriptor goes, so that a signal's path to
    // the exit never touches a closed (or reused) descriptor; the device is
    // already as it was.
    line_state.fd = -1;
    ::close(fd);
}

void send_byte(std::uint8_t byte) {
    if (line_state.gone) return;
    for (;;) {
        if (::write(line_state.fd, &byte, 1) == 1) return;
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
    if (line_state.gone) return 0;
    const long got = static_cast<long>(::read(line_state.fd, buffer, count));
    if (got < 0 && device_gone_error(errno)) {
        line_state.gone = true;
        return 0;
    }
    // Silence ends a read only after the line's timeout; an end at once may
    // be a device that is gone, which poll then confirms. A short read alone
    // is no proof: some systems end reads at once on a port without carrier.
    if (got == 0) line_hung_up();
    return got;
}

}  // namespace lumicord::camlink
