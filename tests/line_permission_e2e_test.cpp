// A serial device the user may not open: after the two usual lines the
// program names the group that owns the device and how to join it, talks to
// no camera and ends with status 255. The device is a real pseudo-terminal
// handed to another group; the program runs as an unprivileged user.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/camera_data.h"
#include "sim/camera_sim.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/text_lines.h"

namespace lumicord::testing {
namespace {

constexpr const char* SETPRIV = "/usr/bin/setpriv";
constexpr int OPEN_FAILED_STATUS = 255;

struct account {
    uid_t uid;
    gid_t gid;
};

// Every directory on the way to the binary, and the binary itself, must be
// open to others, or the unprivileged run could not even start it.
bool reachable_by_others(const std::filesystem::path& binary) {
    for (std::filesystem::path p = binary; p != p.parent_path(); p = p.parent_path()) {
        struct stat st {};
        if (stat(p.c_str(), &st) != 0 || (st.st_mode & S_IXOTH) == 0) return false;
    }
    return true;
}

class line_permission_test : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "only root can hand a terminal to another group and drop to another user";
        if (access(SETPRIV, X_OK) != 0) GTEST_SKIP() << SETPRIV << " (util-linux) is missing";
        if (!reachable_by_others(lumicord_binary())) GTEST_SKIP() << lumicord_binary() << " is not open to other users";
        const passwd* pw = getpwnam("nobody");
        if (pw == nullptr) GTEST_SKIP() << "no user nobody";
        user_ = account{pw->pw_uid, pw->pw_gid};
        // A group the user is not in, as a serial port's group usually is.
        for (const char* name : {"dialout", "uucp", "tty"}) {
            const group* g = getgrnam(name);
            if (g != nullptr && g->gr_gid != 0 && g->gr_gid != user_.gid) {
                device_group_ = g->gr_gid;
                device_group_name_ = g->gr_name;
                break;
            }
        }
        if (!device_group_) GTEST_SKIP() << "no group to give the device to";
        sim_ = std::make_unique<sim::camera_sim>(sim::camera_with_pictures(1));
    }

    const std::string& device() const { return sim_->device_path(); }

    void hand_device_to(uid_t owner, gid_t group, mode_t mode) {
        ASSERT_EQ(chown(device().c_str(), owner, group), 0) << std::strerror(errno);
        ASSERT_EQ(chmod(device().c_str(), mode), 0) << std::strerror(errno);
    }

    // lumicord on the device as the test's user, in no group but its own or
    // also in the device's group; "q" at the first prompt.
    program_result run_as_user(bool in_device_group = false, const std::string& baud = "-B115200") {
        program_run run;
        run.binary = SETPRIV;
        run.args = {"--reuid=" + std::to_string(user_.uid), "--regid=" + std::to_string(user_.gid),
                    in_device_group ? "--groups=" + std::to_string(*device_group_) : "--clear-groups",
                    lumicord_binary(), "-C" + device(), baud};
        run.input = "q\n";
        run.cwd = dir_.path().string();
        run.timeout_seconds = 60;
        return run_program(run);
    }

    // The two lines every failed open prints.
    std::vector<std::string> usual_lines() const {
        return {std::string("open: ") + std::strerror(EACCES), "Could not open " + device() + " for read/write."};
    }

    void expect_nothing_sent() {
        sim_->settle();
        EXPECT_TRUE(sim_->received().empty()) << "the camera was talked to";
    }

    account user_{};
    std::optional<gid_t> device_group_;
    std::string device_group_name_;
    std::unique_ptr<sim::camera_sim> sim_;
    scratch_dir dir_;
};

TEST_F(line_permission_test, a_device_of_a_group_the_user_is_not_in_names_the_group_and_how_to_join_it) {
    hand_device_to(0, *device_group_, 0660);
    const program_result r = run_as_user();

    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, OPEN_FAILED_STATUS);
    const std::vector<std::string> err = lines_of(r.err);
    ASSERT_EQ(err.size(), 3u) << r.err;
    const std::vector<std::string> usual = usual_lines();
    EXPECT_EQ(err[0], usual[0]);
    EXPECT_EQ(err[1], usual[1]);
    EXPECT_EQ(err[2].rfind(device() + " ", 0), 0u) << err[2];
    EXPECT_NE(err[2].find(" group " + device_group_name_ + ":"), std::string::npos) << err[2];
    EXPECT_NE(err[2].find("usermod -aG " + device_group_name_ + " "), std::string::npos) << err[2];
    EXPECT_NE(err[2].find("log in again"), std::string::npos) << err[2];
    // The set-up failure ends the program before the goodbye.
    EXPECT_EQ(r.out.find("Look at my"), std::string::npos);
    EXPECT_EQ(r.out.find("Camera not found"), std::string::npos);
    expect_nothing_sent();
}

TEST_F(line_permission_test, no_advice_to_join_a_group_that_could_not_open_the_device_either) {
    // Owner-only: joining the group would not help.
    hand_device_to(0, *device_group_, 0600);
    program_result r = run_as_user();
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, OPEN_FAILED_STATUS);
    EXPECT_EQ(lines_of(r.err), usual_lines());

    // Joining root is no advice to give.
    hand_device_to(0, 0, 0660);
    r = run_as_user();
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, OPEN_FAILED_STATUS);
    EXPECT_EQ(lines_of(r.err), usual_lines());
    expect_nothing_sent();
}

TEST_F(line_permission_test, the_user_in_the_devices_group_reaches_the_camera) {
    hand_device_to(0, *device_group_, 0660);
    const program_result r = run_as_user(true);

    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
    EXPECT_EQ(r.err.find(std::strerror(EACCES)), std::string::npos) << r.err;
    char taken[32];
    std::snprintf(taken, sizeof taken, "\n%2d photos taken", static_cast<int>(sim_->camera().pictures.size()));
    EXPECT_NE(r.out.find(taken), std::string::npos) << r.out;
}

TEST_F(line_permission_test, a_user_whose_port_another_program_holds_is_told_it_is_in_use) {
    // The first program holds the port exclusively, which keeps out every
    // later open but root's: a user's second program fails at the open
    // itself, before it could try the lock, and must say the same.
    hand_device_to(0, *device_group_, 0660);
    program_run first = lumicord_run({"-C" + device(), "-B19200"}, "", dir_.path().string());
    first.marker = " photos free\n: ";
    program_result second;
    first.at_marker = [&](int) { second = run_as_user(true, "-B19200"); };
    first.input_at_marker = "q\n";
    const program_result r = run_program(first);

    ASSERT_FALSE(second.timed_out);
    EXPECT_EQ(second.exit_status, OPEN_FAILED_STATUS);
    EXPECT_EQ(second.err, device() + " is in use by another program.\nCould not open " + device() + " for read/write.\n");
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, 0) << r.err;
}

}  // namespace
}  // namespace lumicord::testing
