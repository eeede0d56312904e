// The lumicord-sim tool as a separate process: what its command line sets
// up is what the program downloads from it.
#include <gtest/gtest.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "link/camera.h"
#include "link/line.h"
#include "sim/camera_data.h"
#include "sim/sim_options.h"
#include "tests/support/camera_ops.h"
#include "tests/support/linked_camera.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/sim_process.h"

namespace lumicord::sim {
namespace {

using testing::sim_process;
using testing::temp_stream;

// What the tool's command line sets up, as the tool parses it.
camera_config camera_of(const std::vector<std::string>& args) {
    std::vector<std::string> storage{"lumicord-sim"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    return parse_sim_options(static_cast<int>(storage.size()), argv.data()).camera;
}

TEST(lumicord_sim, serves_the_pictures_its_command_line_names) {
    const std::vector<std::string> args{"--pictures", "3", "--mixed-res"};
    sim_process sim(args);
    ASSERT_FALSE(sim.device().empty());
    const camera_config camera = camera_of(args);
    testing::reset_link_records();
    ASSERT_EQ(camlink::camera_connect(sim.device().c_str(), 9600), camlink::RES_OK);
    for (int n = 1; n <= 3; ++n) {
        temp_stream stream;
        EXPECT_EQ(camlink::fetch_picture(n, stream.get()), camlink::RES_OK) << n;
        EXPECT_TRUE(stream.contents() == picture_data(camera.pictures[static_cast<std::size_t>(n - 1)])) << n;
    }
    camlink::camera_disconnect();
    EXPECT_EQ(sim.stop(), 0);
}

TEST(lumicord_sim, fault_confined_to_pictures_strikes_once) {
    const std::vector<std::string> args{"--pictures", "1", "--fault-in", "picture", "--bad-block", "62", "--bad-attempts", "5"};
    sim_process sim(args);
    ASSERT_FALSE(sim.device().empty());
    testing::reset_link_records();
    ASSERT_EQ(camlink::camera_connect(sim.device().c_str(), 9600), camlink::RES_OK);
    {
        temp_stream stream;
        EXPECT_EQ(camlink::fetch_picture(1, stream.get()), camlink::RES_BAD_PACKET);
        EXPECT_EQ(stream.contents().size(), 61u * PICTURE_BLOCK);
    }
    // Block 62 has gone by: the next download is whole.
    temp_stream stream;
    EXPECT_EQ(camlink::fetch_picture(1, stream.get()), camlink::RES_OK);
    EXPECT_TRUE(stream.contents() == picture_data(camera_of(args).pictures[0]));
    camlink::camera_disconnect();
}

TEST(lumicord_sim, saves_the_pictures_it_would_serve_and_exits) {
    testing::scratch_dir dir;
    testing::program_run run;
    run.binary = testing::lumicord_sim_binary();
    run.args = {"--pictures", "3", "--mixed-res", "--save-pictures", dir.path().string()};
    const testing::program_result r = testing::run_program(run);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    ASSERT_EQ(dir.names(), (std::vector<std::string>{"picture-1.raw", "picture-2.raw", "picture-3.raw"}));
    const camera_config camera = camera_of({"--pictures", "3", "--mixed-res"});
    for (int n = 1; n <= 3; ++n)
        EXPECT_TRUE(testing::read_file(dir / ("picture-" + std::to_string(n) + ".raw")) ==
                    picture_data(camera.pictures[static_cast<std::size_t>(n - 1)]))
            << n;
}

TEST(lumicord_sim, a_picture_it_cannot_save_is_named_and_fails) {
    testing::scratch_dir dir;
    testing::program_run run;
    run.binary = testing::lumicord_sim_binary();
    const std::string missing = (dir / "missing").string();
    run.args = {"--pictures", "1", "--save-pictures", missing};
    const testing::program_result r = testing::run_program(run);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, missing + "/picture-1.raw: " + std::strerror(ENOENT) + "\n");
}

TEST(lumicord_sim, bad_command_line_is_refused) {
    testing::program_run run;
    run.binary = testing::lumicord_sim_binary();
    run.args = {"--snap-delay", "1000"};
    const testing::program_result r = testing::run_program(run);
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Try 'lumicord-sim --help'."), std::string::npos);
}

// --link replaces a symbolic link and nothing else; at the end it removes
// the name only while it is still a link to the tool's terminal.
class sim_link_test : public ::testing::Test {
protected:
    static std::string link_target(const std::filesystem::path& path) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path))) return "<not a link>";
        return std::filesystem::read_symlink(path, error).string();
    }

    static std::string text_of(const std::filesystem::path& path) {
        const std::vector<unsigned char> bytes = testing::read_file(path);
        return {bytes.begin(), bytes.end()};
    }

    testing::program_result start_refused(const std::filesystem::path& path) {
        testing::program_run run;
        run.binary = testing::lumicord_sim_binary();
        run.args = {"--link", path.string()};
        run.timeout_seconds = 30;
        return testing::run_program(run);
    }

    testing::scratch_dir dir_;
    const std::filesystem::path link_ = dir_ / "camera";
};

TEST_F(sim_link_test, an_old_link_is_replaced_and_removed_at_the_end) {
    std::filesystem::create_symlink("/dev/null", link_);
    sim_process sim({"--link", link_.string()});
    ASSERT_FALSE(sim.device().empty());
    EXPECT_EQ(link_target(link_), sim.device());
    // The program reaches the camera through it.
    testing::reset_link_records();
    EXPECT_EQ(camlink::camera_connect(link_.c_str(), 9600), camlink::RES_OK);
    camlink::camera_disconnect();
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link_)));
}

TEST_F(sim_link_test, a_hung_up_terminal_takes_the_link_along_and_the_new_one_gets_it) {
    sim_process sim({"--hangup-after", "2", "--back-after", "2000", "--link", link_.string()});
    ASSERT_FALSE(sim.device().empty());
    testing::reset_link_records();
    ASSERT_EQ(camlink::camera_connect(link_.c_str(), 9600), camlink::RES_OK);
    ASSERT_EQ(camlink::query_status(), camlink::RES_OK);
    // The second status block is not sent: the terminal hangs up instead,
    // and its link is gone before the program can notice.
    EXPECT_NE(camlink::query_status(), camlink::RES_OK);
    ASSERT_TRUE(camlink::line_lost());
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link_)));
    camlink::close_line();
    const auto start = std::chrono::steady_clock::now();
    bool reopened = false;
    while (!(reopened = camlink::reopen_line()) && std::chrono::steady_clock::now() - start < std::chrono::seconds(10))
        poll(nullptr, 0, 20);
    ASSERT_TRUE(reopened);
    // Made again for the new terminal (which may have the old one's number:
    // the system hands out the lowest free one).
    EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(link_)));
    EXPECT_EQ(camlink::camera_refind(9600), camlink::RES_OK);
    EXPECT_EQ(camlink::query_status(), camlink::RES_OK);
    camlink::camera_disconnect();
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link_)));
}

TEST_F(sim_link_test, a_file_or_directory_at_the_name_is_left_alone_and_the_tool_does_not_start) {
    dir_.touch("camera", "notes\n");
    const testing::program_result file = start_refused(link_);
    EXPECT_EQ(file.exit_status, 1);
    EXPECT_EQ(file.out, "");
    EXPECT_EQ(file.err, "lumicord-sim: " + link_.string() + " exists and is not a symbolic link; it is left as it is\n");
    EXPECT_EQ(text_of(link_), "notes\n");

    std::filesystem::remove(link_);
    std::filesystem::create_directory(link_);
    dir_.touch("camera/inside");
    const testing::program_result directory = start_refused(link_);
    EXPECT_EQ(directory.exit_status, 1);
    EXPECT_EQ(directory.out, "");
    EXPECT_EQ(directory.err,
              "lumicord-sim: " + link_.string() + " exists and is not a symbolic link; it is left as it is\n");
    EXPECT_TRUE(std::filesystem::exists(link_ / "inside"));
}

TEST_F(sim_link_test, a_name_taken_over_meanwhile_is_not_removed_at_the_end) {
    {
        sim_process sim({"--link", link_.string()});
        ASSERT_FALSE(sim.device().empty());
        std::filesystem::remove(link_);
        dir_.touch("camera", "someone else's\n");
        EXPECT_EQ(sim.stop(), 0);
        EXPECT_EQ(text_of(link_), "someone else's\n");
    }
    std::filesystem::remove(link_);
    sim_process sim({"--link", link_.string()});
    ASSERT_FALSE(sim.device().empty());
    // A link to something else now.
    std::filesystem::remove(link_);
    std::filesystem::create_symlink("/dev/null", link_);
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_EQ(link_target(link_), "/dev/null");
}

}  // namespace
}  // namespace lumicord::sim
