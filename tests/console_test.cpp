#include "front/console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "front/options.h"
#include "link/camera.h"
#include "link/line.h"
#include "tests/support/console_text.h"

namespace lumicord::front {
namespace {

using namespace lumicord::testing;

template <typename F>
std::string printed(F f) {
    std::fflush(stdout);
    ::testing::internal::CaptureStdout();
    f();
    std::fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}

std::string result_text(int code) {
    return printed([code] { report_result(code); });
}

TEST(report_result_test, every_code_has_its_message) {
    EXPECT_EQ(result_text(camlink::RES_NO_DATA), "  No data received!");
    EXPECT_EQ(result_text(camlink::RES_WRONG_DATA), "  Wrong data received!");
    EXPECT_EQ(result_text(camlink::RES_NOT_FOUND), "  Camera not found!");
    EXPECT_EQ(result_text(camlink::RES_BAD_PACKET), "  Wrong data packet received!");
    EXPECT_EQ(result_text(camlink::RES_NO_RESPONSE), "  No response from camera!");
    EXPECT_EQ(result_text(camlink::RES_IMPOSSIBLE), "  Impossible!");
    EXPECT_EQ(result_text(camlink::RES_SAVE_ERROR), "  Data save error!");
    EXPECT_EQ(result_text(camlink::RES_USER_BREAK), "  User Break!");
    EXPECT_EQ(result_text(camlink::RES_NOT_ON_DC25), "  Command for DC25 not supported!");
}

TEST(report_result_test, any_other_code_in_hexadecimal_at_least_two_wide) {
    EXPECT_EQ(result_text(5), "  Error:  5");
    EXPECT_EQ(result_text(48), "  Error: 30");
    EXPECT_EQ(result_text(0), "  Error:  0");
    EXPECT_EQ(result_text(10), "  Error:  A");
    EXPECT_EQ(result_text(255), "  Error: FF");
    EXPECT_EQ(result_text(0x1AB), "  Error: 1AB");
}

class show_status_test : public ::testing::Test {
protected:
    void SetUp() override {
        options = options_record{};
        camlink::camera_state = camlink::camera_state_record{};
        options.device = "/dev/ttyUSB7";
    }
    void TearDown() override { options = options_record{}; }
};

TEST_F(show_status_test, high_resolution_good_battery) {
    camlink::camera_state = {0x20, 0, 0, 3, 13};
    EXPECT_EQ(printed([] { show_status(false); }),
              "\nResolution: high\nBattery:    good\n 3 photos taken \n13 photos free");
}

TEST_F(show_status_test, low_resolution_battery_down) {
    camlink::camera_state = {0x20, 1, 1, 16, 0};
    EXPECT_EQ(printed([] { show_status(false); }), "\nResolution:  low\nBattery:    down\n16 photos taken \n 0 photos free");
}

TEST_F(show_status_test, only_one_is_low_and_only_zero_is_good) {
    camlink::camera_state = {0x20, 2, 7, 0, 0};
    EXPECT_EQ(printed([] { show_status(false); }), status_text(false, false, 0, 0));
    camlink::camera_state = {0x20, 0, 255, 100, 255};
    EXPECT_EQ(printed([] { show_status(false); }), status_text(false, false, 100, 255));
}

TEST_F(show_status_test, model_line_names_model_baud_figure_and_device) {
    options.baud = 115200;
    camlink::camera_state = {0x20, 0, 0, 1, 15};
    EXPECT_EQ(printed([] { show_status(true); }),
              "\nDC20 camera with 115200 baud at /dev/ttyUSB7 detected." + status_text(false, true, 1, 15));
    options.baud = 300;
    camlink::camera_state = {0x25, 1, 0, 2, 9};
    EXPECT_EQ(printed([] { show_status(true); }),
              "\nDC25 camera with 300 baud at /dev/ttyUSB7 detected." + status_text(true, true, 2, 9));
    // An unknown model byte is shown as it came, in hexadecimal.
    camlink::camera_state = {0x3A, 0, 0, 0, 0};
    EXPECT_EQ(printed([] { show_status(true); }).substr(0, 5), "\nDC3A");
}

TEST(show_banner_test, names_the_baud_figure_given) {
    options = options_record{};
    options.baud = 57600;
    const std::string text = printed(show_banner);
    EXPECT_EQ(text, banner_text(57600));
    EXPECT_EQ(text.substr(0, 33), "\nLumicord at 57600 baud \n\nVersion");
}

}  // namespace
}  // namespace lumicord::front
