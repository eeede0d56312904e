// The lumicord-sim tool as a separate process: what its command line sets
// up is what the program downloads from it.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
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

namespace lumicord::sim {
namespace {

using testing::temp_stream;

// lumicord-sim started with args; device() is the terminal it serves on.
class sim_process {
public:
    explicit sim_process(const std::vector<std::string>& args) : args_(args) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            std::vector<char*> argv{const_cast<char*>(LUMICORD_SIM_BINARY)};
            for (const std::string& a : args_) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(LUMICORD_SIM_BINARY, argv.data());
            _exit(127);
        }
        ::close(out[1]);
        // The tool prints its terminal's path once it is serving.
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n') device_ += c;
        ::close(out[0]);
    }
    ~sim_process() {
        if (pid_ > 0) stop();
    }
    sim_process(const sim_process&) = delete;
    sim_process& operator=(const sim_process&) = delete;

    const std::string& device() const { return device_; }

    // What the same command line sets up, as the tool parsed it.
    camera_config camera() const { return parsed(args_); }

    static camera_config parsed(const std::vector<std::string>& args) {
        std::vector<std::string> storage{"lumicord-sim"};
        storage.insert(storage.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& s : storage) argv.push_back(s.data());
        argv.push_back(nullptr);
        return parse_sim_options(static_cast<int>(storage.size()), argv.data()).camera;
    }

    // Ends the tool as a user would; its exit status.
    int stop() {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    std::vector<std::string> args_;
    pid_t pid_ = -1;
    std::string device_;
};

TEST(lumicord_sim, serves_the_pictures_its_command_line_names) {
    sim_process sim({"--pictures", "3", "--mixed-res"});
    ASSERT_FALSE(sim.device().empty());
    const camera_config camera = sim.camera();
    testing::reset_link_records();
    ASSERT_EQ(camlink::camera_connect(sim.device().c_str(), 9600), camlink::RES_OK);
    for (int n = 1; n <= 3; ++n) {
        temp_stream stream;
        EXPECT_EQ(camlink::fetch_picture(n, stream.get()), camlink::RES_OK) << n;
        EXPECT_TRUE(stream.contents() == picture_data(camera.pictures[static_cast<std::size_t>(n - 1)])) << n;
    }
    EXPECT_EQ(camlink::fetch_picture_info(camlink::picture_info_table), camlink::RES_OK);
    EXPECT_EQ(camlink::picture_info_table.records[1].low_res, 0);
    EXPECT_NE(camlink::picture_info_table.records[2].low_res, 0);
    EXPECT_EQ(camlink::picture_info_table.records[3].low_res, 0);
    camlink::camera_disconnect();
    EXPECT_EQ(sim.stop(), 0);
}

TEST(lumicord_sim, fault_confined_to_pictures_strikes_once) {
    sim_process sim({"--pictures", "1", "--fault-in", "picture", "--bad-block", "62", "--bad-attempts", "5"});
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
    EXPECT_TRUE(stream.contents() == picture_data(sim.camera().pictures[0]));
    camlink::camera_disconnect();
}

TEST(lumicord_sim, saves_the_pictures_it_would_serve_and_exits) {
    testing::scratch_dir dir;
    testing::program_run run;
    run.binary = LUMICORD_SIM_BINARY;
    run.args = {"--pictures", "3", "--mixed-res", "--save-pictures", dir.path().string()};
    const testing::program_result r = testing::run_program(run);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    ASSERT_EQ(dir.names(), (std::vector<std::string>{"picture-1.raw", "picture-2.raw", "picture-3.raw"}));
    const camera_config camera = sim_process::parsed({"--pictures", "3", "--mixed-res"});
    for (int n = 1; n <= 3; ++n)
        EXPECT_TRUE(testing::read_file(dir / ("picture-" + std::to_string(n) + ".raw")) ==
                    picture_data(camera.pictures[static_cast<std::size_t>(n - 1)]))
            << n;
    // The second picture is the low-resolution one.
    EXPECT_EQ(testing::read_file(dir / "picture-2.raw").size(), LOW_RES_PICTURE_BYTES);
}

TEST(lumicord_sim, a_picture_it_cannot_save_is_named_and_fails) {
    testing::scratch_dir dir;
    testing::program_run run;
    run.binary = LUMICORD_SIM_BINARY;
    const std::string missing = (dir / "missing").string();
    run.args = {"--pictures", "1", "--save-pictures", missing};
    const testing::program_result r = testing::run_program(run);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, missing + "/picture-1.raw: No such file or directory\n");
}

TEST(lumicord_sim, bad_command_line_is_refused) {
    testing::program_run run;
    run.binary = LUMICORD_SIM_BINARY;
    run.args = {"--snap-delay", "1000"};
    const testing::program_result r = testing::run_program(run);
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Try 'lumicord-sim --help'."), std::string::npos);
}

}  // namespace
}  // namespace lumicord::sim
