#include "link/line.h"
#include "link/group_name.h"
#include "link/line_testing.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cstring>
#include <string>

#include "sim/camera_data.h"
#include "tests/support/elapsed.h"
#include "tests/support/failing_system_call.h"
#include "tests/support/line_settings.h"
#include "tests/support/linked_camera.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/unpluggable_camera.h"

#if defined(LUMICORD_HAVE_SECCOMP)
#include <sys/syscall.h>
#endif

namespace lumicord::camlink {
namespace {

using lumicord::testing::linked_camera;
using lumicord::testing::seconds_since;

// Control flags as a record set to speed holds them: with the speed's bits
// where the system keeps the speed in c_cflag too (Linux), as they are
// where it keeps it only in fields of its own (the BSDs, macOS).
tcflag_t with_speed(tcflag_t flags, speed_t speed) {
    termios t{};
    t.c_cflag = flags;
    cfsetospeed(&t, speed);
    cfsetispeed(&t, speed);
    return t.c_cflag;
}

// The device's control flags. A pseudo-terminal may not hold PARENB (Linux's
// clears it), so the device shows the rest and the record the program
// applied shows the parity.
tcflag_t device_flags(const termios& t) { return t.c_cflag & ~static_cast<tcflag_t>(PARENB); }

// Runs call with the line's descriptor closed for the while, so that every
// call on it fails; the same number then leads to the device again (the
// call opens nothing that could take the number meanwhile).
template <typename Call>
void with_line_descriptor_closed(Call call) {
    const int fd = line_hangup_descriptor();
    const int kept = ::dup(fd);
    ASSERT_GE(kept, 0);
    ::close(fd);
    call();
    ASSERT_EQ(::dup2(kept, fd), fd);
    ::close(kept);
}

// Opens path the way an ordinary user's program would (root may open a
// device held exclusively): 0 when that works, else the open's errno.
int error_opening_as_a_user(const std::string& path) {
    const pid_t child = fork();
    if (child == 0) {
        constexpr uid_t NOBODY = 65534;
        if (geteuid() == 0 && (setgid(NOBODY) != 0 || setuid(NOBODY) != 0)) _exit(255);
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        _exit(fd < 0 ? errno : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(open_line_test, applies_exactly_the_working_settings_at_9600) {
    linked_camera link(sim::camera_config{});
    link.open_line(9600);
    const termios t = link.sim().line_settings();
    EXPECT_EQ(t.c_iflag, static_cast<tcflag_t>(IGNBRK));
    EXPECT_EQ(t.c_oflag, 0u);
    EXPECT_EQ(device_flags(t), with_speed(CS8 | CREAD, B9600));
    EXPECT_EQ(line_working_settings().c_cflag, with_speed(CS8 | CREAD | PARENB, B9600));
    EXPECT_EQ(t.c_lflag, 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 15);
    for (int i = 0; i < NCCS; ++i) {
        if (i == VTIME) continue;
        EXPECT_EQ(t.c_cc[i], 0) << "control character " << i;
    }
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B9600));
}

TEST(open_line_test, moves_the_line_to_the_requested_speed_and_only_to_a_supported_one) {
    linked_camera fast(sim::camera_config{});
    fast.open_line(57600);
    termios t = fast.sim().line_settings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B57600));
    close_line();

    linked_camera odd(sim::camera_config{});
    odd.open_line(14400);
    t = odd.sim().line_settings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B9600));
}

TEST(set_line_speed_test, applies_each_supported_speed_and_9600_for_any_other) {
    linked_camera link(sim::camera_config{});
    link.open_line(9600);
    const struct {
        long asked;
        speed_t expected;
    } cases[] = {{19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
                 {14400, B9600},  {115200, B115200}, {300, B9600},   {0, B9600}, {-1, B9600}};
    for (const auto& c : cases) {
        set_line_speed(c.asked);
        const termios t = link.sim().line_settings();
        EXPECT_EQ(cfgetospeed(&t), c.expected) << c.asked;
        EXPECT_EQ(cfgetispeed(&t), c.expected) << c.asked;
        // Only the speed changes.
        EXPECT_EQ(t.c_iflag, static_cast<tcflag_t>(IGNBRK));
        EXPECT_EQ(device_flags(t), with_speed(CS8 | CREAD, c.expected)) << c.asked;
    }
}

TEST(set_line_speed_test, failure_is_reported_and_the_working_record_keeps_the_new_speed) {
    linked_camera link(sim::camera_config{});
    link.open_line(9600);
    ::testing::internal::CaptureStderr();
    with_line_descriptor_closed([] { set_line_speed(38400); });
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, std::string("tcsetattr: ") + std::strerror(EBADF) + "\n");
    EXPECT_EQ(cfgetospeed(&line_working_settings()), static_cast<speed_t>(B38400));
    EXPECT_EQ(cfgetispeed(&line_working_settings()), static_cast<speed_t>(B38400));
}

TEST(open_line_test, holds_the_device_for_itself_until_it_closes_it) {
    linked_camera link(sim::camera_config{});
    // So that the ordinary user of the test may open it at all.
    ASSERT_EQ(chmod(link.device(), 0666), 0);
    ASSERT_EQ(error_opening_as_a_user(link.device()), 0);
    link.open_line(9600);
    // Programs that take no lock, such as terminal programs, are refused.
    EXPECT_EQ(error_opening_as_a_user(link.device()), EBUSY);
    // Nor does the device pass to a program started from here.
    EXPECT_NE(fcntl(line_hangup_descriptor(), F_GETFD) & FD_CLOEXEC, 0);
    close_line();
    EXPECT_EQ(error_opening_as_a_user(link.device()), 0);
}

TEST(close_line_test, puts_the_devices_own_settings_back) {
    linked_camera link(sim::camera_config{});
    const termios before = link.sim().line_settings();
    // The test is only worth something if the working settings differ.
    ASSERT_NE(before.c_lflag, 0u);
    link.open_line(115200);
    close_line();
    EXPECT_FALSE(line_open());
    EXPECT_TRUE(lumicord::testing::same_settings(before, link.sim().line_settings()));
}

TEST(close_line_test, without_captured_settings_leaves_the_working_ones) {
    linked_camera link(sim::camera_config{});
    link.open_line(19200);
    forget_device_settings();
    close_line();
    const termios t = link.sim().line_settings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(t.c_lflag, 0u);
}

TEST(send_byte_test, failed_write_is_reported) {
    linked_camera link(sim::camera_config{});
    link.open_line(9600);
    ::testing::internal::CaptureStderr();
    with_line_descriptor_closed([] { send_byte(0x7F); });
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, std::string("write: ") + std::strerror(EBADF) + "\n");
    // Nothing reached the camera.
    EXPECT_EQ(link.byte_count(), 0u);
}

TEST(read_line_test, returns_what_has_arrived_without_waiting_for_more) {
    linked_camera link(sim::camera_config{});
    link.open_line(9600);
    for (std::uint8_t b : {0x41, 0x00, 0x96, 0x00, 0x00, 0x00, 0x00, 0x1A}) send_byte(b);
    std::uint8_t buffer[64] = {};
    const auto start = std::chrono::steady_clock::now();
    const long count = read_line(buffer, sizeof buffer);
    // The camera answers a command with its one acknowledgement byte.
    ASSERT_EQ(count, 1);
    EXPECT_EQ(buffer[0], 0xD1);
    EXPECT_LT(seconds_since(start), 1.4);
}

TEST(read_line_test, returns_nothing_after_the_line_timeout) {
    linked_camera link(sim::camera_config{});
    link.open_line(9600);
    std::uint8_t buffer[8] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(read_line(buffer, sizeof buffer), 0);
    EXPECT_GE(seconds_since(start), 1.4);
    // Silence is the camera's, not a sign of a line that went away.
    EXPECT_FALSE(line_lost());
}

TEST(open_line_test, a_device_that_cannot_keep_parity_is_set_up_without_a_word) {
    // Linux pseudo-terminals drop PARENB and the C library then calls the
    // change invalid, although the rest of it took effect.
    linked_camera link(sim::camera_config{});
    ::testing::internal::CaptureStderr();
    link.open_line(38400);
    set_line_speed(57600);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    termios t = link.sim().line_settings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));
    // A run killed outright leaves the device in the working settings, where
    // even the first change changes nothing but the parity the device drops.
    set_line_speed(9600);
    forget_device_settings();
    close_line();
    ::testing::internal::CaptureStderr();
    link.open_line(9600);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(line_open());
}

TEST(lost_line_test, a_hang_up_is_noticed_at_the_first_read_and_nothing_on_the_dead_device_is_reported) {
    linked_camera link(sim::camera_config{});
    link.open_line(9600);
    link.sim().hang_up_now();
    ::testing::internal::CaptureStderr();
    std::uint8_t buffer[8] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(read_line(buffer, sizeof buffer), 0);
    // At once, not after the line's 1.5 s timeout.
    EXPECT_LT(seconds_since(start), 1.0);
    EXPECT_TRUE(line_lost());
    send_byte(0x41);
    set_line_speed(38400);
    EXPECT_EQ(read_line(buffer, sizeof buffer), 0);
    close_line();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(line_open());
    // Still lost until the device is opened again.
    EXPECT_TRUE(line_lost());
}

TEST(lost_line_test, a_write_to_a_hung_up_device_makes_the_line_lost_without_a_word) {
    linked_camera link(sim::camera_config{});
    link.open_line(9600);
    link.sim().hang_up_now();
    ::testing::internal::CaptureStderr();
    send_byte(0x41);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(line_lost());
}

TEST(lost_line_test, a_hang_up_at_rest_shows_on_the_descriptor_and_the_device_is_opened_afresh_when_back) {
    lumicord::testing::scratch_dir names;
    sim::fault_config faults;
    faults.back_after_ms = 100;
    lumicord::testing::unpluggable_camera camera(sim::camera_config{}, faults, names / "camera");
    // Settings of the user's own on the device, which no new terminal has.
    termios own = camera.sim().line_settings();
    cfsetospeed(&own, B2400);
    cfsetispeed(&own, B2400);
    own.c_cflag |= CSTOPB | CLOCAL;
    own.c_iflag |= IXOFF;
    {
        const int fd = ::open(camera.name().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(tcsetattr(fd, TCSANOW, &own), 0);
        ::close(fd);
    }
    own = camera.sim().line_settings();
    open_line(camera.name().c_str(), 38400);
    EXPECT_FALSE(line_hung_up());
    camera.sim().hang_up_now();
    pollfd watch{line_hangup_descriptor(), 0, 0};
    ASSERT_EQ(poll(&watch, 1, 5000), 1);
    EXPECT_NE(watch.revents & POLLHUP, 0);
    EXPECT_TRUE(line_hung_up());
    EXPECT_EQ(line_hangup_descriptor(), -1);
    close_line();
    // Nothing to open until the name leads to the new terminal.
    const auto start = std::chrono::steady_clock::now();
    bool reopened = false;
    while (!(reopened = reopen_line()) && seconds_since(start) < 10) poll(nullptr, 0, 20);
    ASSERT_TRUE(reopened);
    EXPECT_FALSE(line_lost());
    // The new device gets the working settings at 9600; what is put back at
    // the end is what the user had set before the run, not what the new
    // device came with.
    termios t = camera.sim().line_settings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_lflag, 0u);
    close_line();
    EXPECT_TRUE(lumicord::testing::same_settings(own, camera.sim().line_settings()));
}

#if defined(LUMICORD_HAVE_SECCOMP)
std::string regex_quoted(const std::string& text) {
    std::string quoted;
    for (char c : text) {
        if (std::strchr(".[]()*+?{}|^$\\", c) != nullptr) quoted += '\\';
        quoted += c;
    }
    return quoted;
}
#endif

TEST(open_line_death_test, a_device_left_non_blocking_is_refused) {
    // With O_NONBLOCK still set every read would return at once and the
    // camera would seem absent; the program must not go on like that.
#if defined(LUMICORD_HAVE_SECCOMP)
    const std::string why_not = lumicord::testing::why_system_calls_cannot_fail();
    if (!why_not.empty()) GTEST_SKIP() << why_not;
    linked_camera link(sim::camera_config{});
    const std::string path = link.device();
    EXPECT_EXIT(
        {
            // Only the call that would clear O_NONBLOCK fails; the
            // sanitizers' own calls that set it go through.
            if (!lumicord::testing::fail_system_call(lumicord::testing::fcntl_system_call(), F_SETFL, EIO,
                                                     O_NONBLOCK))
                _exit(77);
            open_line(path.c_str(), 9600);
        },
        ::testing::ExitedWithCode(255),
        "^fcntl: " + regex_quoted(std::strerror(EIO)) + "\nCould not init " + regex_quoted(path) +
            " for camera access\\.\n$");
#else
    GTEST_SKIP() << "making fcntl fail on demand takes a seccomp filter (Linux); the build found none";
#endif
}

#if defined(LUMICORD_HAVE_SECCOMP)
// Whether the terminal refuses further opens; true where the system cannot
// tell.
bool held_exclusively(int fd) {
    int exclusive = 1;
#if defined(TIOCGEXCL)
    if (ioctl(fd, TIOCGEXCL, &exclusive) != 0) return false;
#else
    (void)fd;
#endif
    return exclusive != 0;
}
#endif

// Some drivers have no locks at all, and say so in one of three ways; the
// exclusive hold still keeps other programs out.
class device_without_locks_death_test : public ::testing::TestWithParam<int> {};

TEST_P(device_without_locks_death_test, is_used_without_a_lock) {
#if defined(LUMICORD_HAVE_SECCOMP)
    const std::string why_not = lumicord::testing::why_system_calls_cannot_fail();
    if (!why_not.empty()) GTEST_SKIP() << why_not;
    linked_camera link(sim::camera_config{});
    const std::string path = link.device();
    const int error = GetParam();
    EXPECT_EXIT(
        {
            if (!lumicord::testing::fail_system_call(SYS_flock, LOCK_EX | LOCK_NB, error)) _exit(77);
            open_line(path.c_str(), 9600);
            _exit(line_open() && held_exclusively(line_hangup_descriptor()) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "^$");
#else
    GTEST_SKIP() << "making flock fail on demand takes a seccomp filter (Linux); the build found none";
#endif
}

// Test names for the errors used here.
std::string errno_name(int error) {
    constexpr struct {
        int error;
        const char* name;
    } NAMES[] = {{ENOLCK, "ENOLCK"}, {EOPNOTSUPP, "EOPNOTSUPP"}, {EINVAL, "EINVAL"}, {EIO, "EIO"},
                 {ENXIO, "ENXIO"},   {ENODEV, "ENODEV"},         {ENOTTY, "ENOTTY"}, {EPERM, "EPERM"}};
    for (const auto& n : NAMES)
        if (n.error == error) return n.name;
    return "errno" + std::to_string(error);
}

INSTANTIATE_TEST_SUITE_P(errors, device_without_locks_death_test, ::testing::Values(ENOLCK, EOPNOTSUPP, EINVAL),
                         [](const ::testing::TestParamInfo<int>& info) { return errno_name(info.param); });

// The errors by which a device says it is gone make the line lost without a
// word; any other failure is reported and the line stays.
struct settings_failure {
    int error;
    bool lost;
};

class failed_setting_death_test : public ::testing::TestWithParam<settings_failure> {};

TEST_P(failed_setting_death_test, is_a_lost_line_only_for_a_device_that_is_gone) {
#if defined(LUMICORD_HAVE_SECCOMP) && defined(TCSETS)
    const std::string why_not = lumicord::testing::why_system_calls_cannot_fail();
    if (!why_not.empty()) GTEST_SKIP() << why_not;
    linked_camera link(sim::camera_config{});
    link.open_line(9600);
    const settings_failure c = GetParam();
    const std::string said = c.lost ? "" : std::string("tcsetattr: ") + std::strerror(c.error) + "\n";
    EXPECT_EXIT(
        {
            if (!lumicord::testing::fail_system_call(SYS_ioctl, TCSETS, c.error)) _exit(77);
            set_line_speed(38400);
            std::fflush(stderr);
            _exit(line_lost() ? 10 : 11);
        },
        ::testing::ExitedWithCode(c.lost ? 10 : 11), "^" + regex_quoted(said) + "$");
#else
    GTEST_SKIP() << "making tcsetattr fail on demand takes a seccomp filter (Linux); the build found none";
#endif
}

INSTANTIATE_TEST_SUITE_P(errors, failed_setting_death_test,
                         ::testing::Values(settings_failure{EIO, true}, settings_failure{ENXIO, true},
                                           settings_failure{ENODEV, true}, settings_failure{ENOTTY, false},
                                           settings_failure{EPERM, false}),
                         [](const ::testing::TestParamInfo<settings_failure>& info) {
                             return errno_name(info.param.error);
                         });

TEST(group_name_test, the_group_file_is_read_line_by_line) {
    lumicord::testing::scratch_dir dir;
    dir.touch("group",
              "root:x:0:\n+nis:x:20:\n#comment:x:20:\nshort:20\n:x:20:\nbad:x:2O:\n"
              "dialout:x:20:pi,camera\nuucp:x:10:\nwide:x:4294967294:");
    const struct {
        gid_t gid;
        const char* name;
    } cases[] = {{20, "dialout"}, {10, "uucp"}, {4294967294U, "wide"}, {0, "root"}, {21, ""}};
    const std::string file = (dir / "group").string();
    for (const auto& c : cases) EXPECT_EQ(group_name(c.gid, file.c_str()), c.name) << c.gid;
    EXPECT_EQ(group_name(20, (dir / "missing").c_str()), "");
}

}  // namespace
}  // namespace lumicord::camlink
