// The interactive loop of the real binary at the keyboard of a simulated
// camera: keys, prompt, menu, status listing, thumbnails and the camera
// commands.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/camera_data.h"
#include "sim/camera_sim.h"
#include "tests/support/front_session.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace lumicord::testing {
namespace {

// A snap's done byte must outlast the program's 1.5 s drain; just above it
// keeps the tests quick.
sim::camera_config quick_camera(sim::camera_config camera) {
    camera.snap_delay_ms = 1600;
    return camera;
}

class command_loop_test : public ::testing::Test {
protected:
    scratch_dir dir_;

    program_result run(sim::camera_sim& sim, const std::string& keys, std::vector<std::string> args = {}) {
        program_result result = run_program(session(sim, dir_.path(), keys, std::move(args)));
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.err, "");
        return result;
    }
};

// NUL, carriage return and space are no keys at all.
TEST_F(command_loop_test, prompt_before_the_first_key_and_after_every_line) {
    sim::camera_sim sim(sim::camera_with_pictures(2));
    const program_result r = run(sim, std::string("\0 \r\n \0\n", 7));
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + PROMPT + PROMPT + CLOSING_NOTICE);
}

TEST_F(command_loop_test, any_other_key_prints_the_menu) {
    sim::camera_sim sim(sim::camera_with_pictures(2));
    const program_result r = run(sim, "9\n0A\n?\x80\xff\n\t\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + MENU + PROMPT + MENU + MENU + PROMPT + MENU + MENU + MENU + PROMPT + MENU +
                                        PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), std::vector<std::string>{});
}

TEST_F(command_loop_test, q_ends_at_once_and_later_keys_are_not_acted_on) {
    sim::camera_sim sim(sim::camera_with_pictures(2));
    const program_result r = run(sim, "9\nq\nd\n9\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + MENU + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), std::vector<std::string>{});
    // The goodbye sent the camera back to 9600.
    EXPECT_EQ(sim.camera_speed(), 9600);
}

// A last key without its line feed is still acted on.
TEST_F(command_loop_test, end_of_input_acts_like_q) {
    sim::camera_sim sim(sim::camera_with_pictures(2));
    const program_result unfinished = run(sim, "9");
    EXPECT_EQ(unfinished.exit_status, 0);
    EXPECT_EQ(after_startup(unfinished.out), PROMPT + MENU + CLOSING_NOTICE);
}

TEST_F(command_loop_test, a_failing_read_of_the_keys_acts_like_q) {
    sim::camera_sim sim(sim::camera_with_pictures(2));
    program_run keys_from_a_directory = session(sim, dir_.path(), "");
    keys_from_a_directory.input_path = dir_.path().string();
    const program_result r = run_program(keys_from_a_directory);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(sim.camera_speed(), 9600);
}

struct listed_picture {
    std::uint8_t aperture, exposure;
    bool low_res;
    const char* aperture_text;
    int denominator;
};

// Every step of the shutter table at both of its edges, both apertures
// either side of f/11's threshold, and both resolutions.
constexpr listed_picture LISTED[] = {
    {0, 0, false, "f/4 ", 30},     {6, 17, true, "f/4 ", 30},      {7, 18, false, "f/11", 60},
    {255, 25, true, "f/11", 60},   {4, 26, false, "f/4 ", 125},    {8, 32, false, "f/11", 125},
    {4, 33, true, "f/4 ", 250},    {8, 39, false, "f/11", 250},    {4, 40, false, "f/4 ", 500},
    {8, 47, true, "f/11", 500},    {4, 48, false, "f/4 ", 1000},   {8, 55, false, "f/11", 1000},
    {4, 56, true, "f/4 ", 2000},   {8, 61, false, "f/11", 2000},   {4, 62, false, "f/4 ", 4000},
    {8, 66, true, "f/11", 4000},   {4, 67, false, "f/4 ", 8000},   {8, 255, false, "f/11", 8000},
};

TEST_F(command_loop_test, s_lists_at_most_32_pictures_with_aperture_and_shutter) {
    sim::camera_config camera;
    for (int p = 0; p < 33; ++p) {
        const listed_picture& l = LISTED[p % std::size(LISTED)];
        camera.pictures.push_back({l.low_res, l.aperture, l.exposure, static_cast<std::uint32_t>(p + 1)});
    }
    camera.pictures_free = 0;
    sim::camera_sim sim(camera);
    const program_result r = run(sim, "s\n");
    EXPECT_EQ(r.exit_status, 0);
    std::string expected = PROMPT + "\nDC20 camera with 9600 baud at " + sim.device_path() + " detected." + status_lines(33, 0);
    for (int p = 1; p <= 32; ++p) {
        const listed_picture& l = LISTED[(p - 1) % std::size(LISTED)];
        char line[64];
        std::snprintf(line, sizeof line, "\nPicture %2d: %s 1/%d%s", p, l.aperture_text, l.denominator,
                      l.low_res ? " (low res)" : " (high res)");
        expected += line;
    }
    EXPECT_EQ(after_startup(r.out), expected + PROMPT + CLOSING_NOTICE);
    // Information was asked for pictures 1 to 32 only.
    int info_requests = 0;
    for (const auto& c : sim.commands())
        if (c.bytes[0] == 0x55) {
            ++info_requests;
            EXPECT_EQ(c.bytes[3], info_requests);
        }
    EXPECT_EQ(info_requests, 32);
}

TEST_F(command_loop_test, s_on_an_empty_dc25_shows_the_model_and_no_pictures) {
    sim::camera_sim sim(sim::camera_with_pictures(0, false, 0x25));
    const program_result r = run(sim, "S\n", {"-B115200"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + "\nDC25 camera with 115200 baud at " + sim.device_path() + " detected." +
                                        status_lines(0, 16) + PROMPT + CLOSING_NOTICE);
}

TEST_F(command_loop_test, t_on_a_dc20_saves_every_thumbnail) {
    sim::camera_config camera = sim::camera_with_pictures(3);
    sim::camera_sim sim(camera);
    dir_.touch("thumbnls.dc2", std::string(20000, 'x'));
    const program_result r = run(sim, "t\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + "\n" + dots(9) + "\nAll thumbnails saved in thumbnls.dc2" + PROMPT + CLOSING_NOTICE);
    std::vector<unsigned char> expected;
    for (const sim::stored_picture& p : camera.pictures) {
        const std::vector<std::uint8_t> t = sim::thumbnail_data(p);
        expected.insert(expected.end(), t.begin(), t.end());
    }
    EXPECT_EQ(read_file(dir_ / "thumbnls.dc2"), expected);
}

TEST_F(command_loop_test, t_on_a_dc25_is_refused_and_leaves_an_empty_file) {
    sim::camera_sim sim(sim::camera_with_pictures(2, false, 0x25));
    dir_.touch("thumbnls.dc2", "earlier thumbnails");
    const program_result r = run(sim, "T\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + "\n  Command for DC25 not supported!" + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), std::vector<std::string>{"thumbnls.dc2"});
    EXPECT_TRUE(read_file(dir_ / "thumbnls.dc2").empty());
}

TEST_F(command_loop_test, t_on_an_empty_dc20_is_impossible_and_leaves_an_empty_file) {
    sim::camera_sim sim(sim::camera_with_pictures(0));
    const program_result r = run(sim, "T\n");
    EXPECT_EQ(after_startup(r.out), PROMPT + "\n  Impossible!" + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dir_.names(), std::vector<std::string>{"thumbnls.dc2"});
    EXPECT_TRUE(read_file(dir_ / "thumbnls.dc2").empty());
}

TEST_F(command_loop_test, t_without_a_writable_file_says_so) {
    sim::camera_sim sim(sim::camera_with_pictures(2));
    std::filesystem::create_directory(dir_ / "thumbnls.dc2");
    const program_result r = run(sim, "T\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + "  Can't open file!" + PROMPT + CLOSING_NOTICE);
}

TEST_F(command_loop_test, p_takes_a_picture_and_shows_the_new_state) {
    sim::camera_sim sim(quick_camera(sim::camera_with_pictures(0)));
    const program_result r = run(sim, "p\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + status_lines(1, 15) + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(sim.camera().pictures.size(), 1u);
}

TEST_F(command_loop_test, p_with_a_full_memory_is_impossible) {
    sim::camera_config camera = sim::camera_with_pictures(2);
    camera.pictures_free = 0;
    sim::camera_sim sim(camera);
    const program_result r = run(sim, "P\n");
    EXPECT_EQ(after_startup(r.out), PROMPT + "  Impossible!" + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(sim.camera().pictures.size(), 2u);
}

TEST_F(command_loop_test, e_empties_the_camera_and_then_has_nothing_to_erase) {
    sim::camera_sim sim(sim::camera_with_pictures(3));
    const program_result r = run(sim, "e\nE\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(after_startup(r.out), PROMPT + status_lines(0, 16) + PROMPT + "  Impossible!" + PROMPT + CLOSING_NOTICE);
    EXPECT_TRUE(sim.camera().pictures.empty());
}

TEST_F(command_loop_test, r_toggles_the_resolution_of_an_empty_dc20) {
    sim::camera_sim sim(sim::camera_with_pictures(0));
    const program_result once = run(sim, "r\n");
    EXPECT_EQ(after_startup(once.out), PROMPT + status_lines(0, 16, true) + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(sim.camera().resolution, 1);
    // The next run starts from the low resolution and switches back.
    const program_result twice = run(sim, "R\n");
    EXPECT_EQ(after_startup(twice.out), PROMPT + status_lines(0, 16, false) + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(sim.camera().resolution, 0);
}

TEST_F(command_loop_test, r_is_refused_on_a_dc25_and_with_pictures_stored) {
    sim::camera_sim dc25(sim::camera_with_pictures(0, false, 0x25));
    const program_result on_dc25 = run(dc25, "R\n");
    EXPECT_EQ(after_startup(on_dc25.out), PROMPT + "  Command for DC25 not supported!" + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(dc25.camera().resolution, 0);

    sim::camera_sim full(sim::camera_with_pictures(1));
    const program_result with_pictures = run(full, "R\n");
    EXPECT_EQ(after_startup(with_pictures.out), PROMPT + "  Impossible!" + PROMPT + CLOSING_NOTICE);
    EXPECT_EQ(full.camera().resolution, 0);
}

}  // namespace
}  // namespace lumicord::testing
