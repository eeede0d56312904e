#include "link/line.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "link/baud.h"
#include "link/port_driver.h"
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
    std::exit(-1);
}

// The device cannot be set up for the camera: say so, leave it as it was
// and stop. failed_call names the system call that failed.
[[noreturn]] void fail_setup(const char* device, int fd, const port_claim& claim, const char* failed_call) {
    std::perror(failed_call);
    std::fprintf(stderr, "Could not init %s for camera access.\n", device);
    release_port(fd, claim);
    ::close(fd);
    std::exit(-1);
}

}  // namespace

void open_line(const char* device, long baud) {
    line_state.device_path = device;
    // O_NONBLOCK keeps the open from waiting for a carrier that a three-wire
    // camera cable never raises; it is cleared before any I/O so reads block
    // with the line's timeout. O_NOCTTY keeps the device from becoming our
    // controlling terminal, O_CLOEXEC from passing to a program we start.
    const int fd = ::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fail_open(device, errno, "open");
    // Two programs on one line would corrupt each other's transfers.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        fail_open(device, error, "flock");
    }
    const port_claim claim = claim_port(fd);
    // Left non-blocking, every read would return at once: every timeout of
    // the protocol would be gone and the camera would look absent.
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) fail_setup(device, fd, claim, "fcntl");

    line_state.working = build_working_settings();
    line_state.saved_valid = tcgetattr(fd, &line_state.saved) == 0;
    if (tcsetattr(fd, TCSANOW, &line_state.working) != 0) fail_setup(device, fd, claim, "tcsetattr");
    line_state.claim = claim;
    line_state.fd = fd;
    set_line_speed(baud);
}

void set_line_speed(long baud) {
    const speed_t speed = speed_constant(line_speed_for(baud));
    cfsetospeed(&line_state.working, speed);
    cfsetispeed(&line_state.working, speed);
    if (tcsetattr(line_state.fd, TCSANOW, &line_state.working) != 0) std::perror("tcsetattr");
}

void restore_device() {
    const int fd = line_state.fd;
    if (fd < 0) return;
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
    if (::write(line_state.fd, &byte, 1) != 1) std::perror("write");
}

long read_line(std::uint8_t* buffer, std::size_t count) {
    // A signal that lands between this test and the read only delays the
    // stop until the read returns: with the next bytes, or after the line's
    // 1.5 s timeout at the latest.
    if (stop_requested()) {
        errno = EINTR;
        return -1;
    }
    return static_cast<long>(::read(line_state.fd, buffer, count));
}

}  // namespace lumicord::camlink
