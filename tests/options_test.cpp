#include "front/options.h"

#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/console_text.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace lumicord::front {
namespace {

class read_options_test : public ::testing::Test {
protected:
    void SetUp() override { options = options_record{}; }

    void read(std::initializer_list<const char*> args) {
        storage_.assign(1, "lumicord");
        for (const char* a : args) storage_.emplace_back(a);
        argv_.clear();
        for (std::string& s : storage_) argv_.push_back(s.data());
        argv_.push_back(nullptr);
        read_options(static_cast<int>(storage_.size()), argv_.data());
    }

private:
    std::vector<std::string> storage_;
    std::vector<char*> argv_;
};

TEST_F(read_options_test, defaults_without_arguments) {
    read({});
    EXPECT_EQ(options.port, 1);
    EXPECT_EQ(options.device, nullptr);
    EXPECT_EQ(options.baud, 9600);
    EXPECT_EQ(options.search_top, 100);
    EXPECT_EQ(options.video_count, 0);
}

TEST_F(read_options_test, leftmost_of_two_wins) {
    read({"-B19200", "-B38400"});
    EXPECT_EQ(options.baud, 19200);
    read({"-c3", "-C2"});
    EXPECT_EQ(options.port, 3);
}

TEST_F(read_options_test, value_written_as_separate_word_is_not_seen) {
    read({"-B", "19200"});
    EXPECT_EQ(options.baud, 0);
}

TEST_F(read_options_test, search_top_clamps) {
    read({"-N5"});
    EXPECT_EQ(options.search_top, 500);
    read({"-N0"});
    EXPECT_EQ(options.search_top, 0);
    read({"-N-3"});
    EXPECT_EQ(options.search_top, 100);
    read({"-N9"});
    EXPECT_EQ(options.search_top, 900);
    read({"-n10"});
    EXPECT_EQ(options.search_top, 10);
}

TEST_F(read_options_test, video_count_clamps_and_always_selects_video_mode) {
    read({"-V1000"});
    EXPECT_EQ(options.video_count, 999);
    read({"-V"});
    EXPECT_EQ(options.video_count, 1);
    read({"-v0"});
    EXPECT_EQ(options.video_count, 1);
    read({"-V-7"});
    EXPECT_EQ(options.video_count, 1);
    read({"-V2"});
    EXPECT_EQ(options.video_count, 2);
    read({"-V999"});
    EXPECT_EQ(options.video_count, 999);
}

TEST_F(read_options_test, unknown_options_words_and_double_dashes_are_ignored) {
    read({"-Z", "word", "--help", "-", "--B19200", "-b57600"});
    EXPECT_EQ(options.baud, 57600);
    EXPECT_EQ(options.port, 1);
    EXPECT_EQ(options.search_top, 100);
}

TEST_F(read_options_test, device_path_form_of_c) {
    read({"-C/dev/ttyUSB0"});
    ASSERT_NE(options.device, nullptr);
    EXPECT_STREQ(options.device, "/dev/ttyUSB0");
    // A port number further left takes over again.
    read({"-C2", "-C/dev/ttyUSB0"});
    EXPECT_EQ(options.device, nullptr);
    EXPECT_EQ(options.port, 2);
    const std::string long_path = "/" + std::string(4000, 'p');
    read({("-C" + long_path).c_str()});
    EXPECT_EQ(std::string(options.device), long_path);
}

TEST(read_number_test, reads_like_atoi_and_saturates) {
    EXPECT_EQ(read_long("  +42xyz"), 42);
    EXPECT_EQ(read_long("-17"), -17);
    EXPECT_EQ(read_long(""), 0);
    EXPECT_EQ(read_long("x5"), 0);
    EXPECT_EQ(read_long("99999999999999999999999"), LONG_MAX);
    EXPECT_EQ(read_long("-99999999999999999999999"), LONG_MIN);
    EXPECT_EQ(read_long("-9223372036854775808"), LONG_MIN);
    EXPECT_EQ(read_int("2147483647"), INT_MAX);
    EXPECT_EQ(read_int("2147483648"), INT_MAX);
    EXPECT_EQ(read_int("-2147483649"), INT_MIN);
    EXPECT_EQ(read_int("\t\n 12"), 12);
}

TEST_F(read_options_test, huge_search_top_and_video_values_saturate) {
    read({"-N99999999999"});
    EXPECT_EQ(options.search_top, INT_MAX);
    read({"-V99999999999"});
    EXPECT_EQ(options.video_count, 999);
    read({"-N-99999999999"});
    EXPECT_EQ(options.search_top, 100);
}

// Help is acted on where the right-to-left scan meets it, so the banner
// shows the options to its right only.
TEST(help_test, shows_options_to_its_right_and_exits_zero_without_touching_anything) {
    lumicord::testing::scratch_dir dir;
    dir.touch("pixforge.cmd", "-x5 -a\n");
    auto right = lumicord::testing::run_program(
        lumicord::testing::lumicord_run({"-h", "-B19200", "-C/nonexistent"}, "", dir.path().string()));
    EXPECT_EQ(right.exit_status, 0);
    EXPECT_NE(right.out.find("\nLumicord at 19200 baud \n\n"), std::string::npos) << right.out;
    EXPECT_TRUE(right.out.ends_with(lumicord::testing::closing_notice()));
    EXPECT_EQ(right.out.find("COMMANDS"), std::string::npos);
    EXPECT_EQ(right.err, "");

    auto left = lumicord::testing::run_program(lumicord::testing::lumicord_run({"-B19200", "-?"}, "", dir.path().string()));
    EXPECT_EQ(left.exit_status, 0);
    EXPECT_NE(left.out.find("\nLumicord at 9600 baud \n\n"), std::string::npos) << left.out;

    auto upper = lumicord::testing::run_program(lumicord::testing::lumicord_run({"-H"}, "", dir.path().string()));
    EXPECT_EQ(upper.exit_status, 0);
    // The converter's command file survives a help request.
    EXPECT_EQ(dir.names(), std::vector<std::string>{"pixforge.cmd"});
}

}  // namespace
}  // namespace lumicord::front
