#include "front/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/console_text.h"
#include "tests/support/port_texts.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace lumicord::front {
namespace {

// What hint_separate_values writes for these arguments; its count must
// agree with the lines it wrote.
std::string hint_lines(const std::vector<const char*>& args) {
    std::vector<std::string> words(1, "lumicord");
    for (const char* a : args) words.emplace_back(a);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    if (out == nullptr) {
        ADD_FAILURE() << "open_memstream failed";
        return {};
    }
    const int count = hint_separate_values(static_cast<int>(words.size()), argv.data(), out);
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    EXPECT_EQ(count, static_cast<int>(std::count(text.begin(), text.end(), '\n'))) << text;
    return text;
}

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

    // The hints for these arguments; the options are then read from them
    // too, to show that the hints change nothing.
    std::string hints(std::initializer_list<const char*> args) {
        const std::string text = hint_lines(args);
        read(args);
        return text;
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

// The value in a word of its own is still not seen; the hint only says so,
// once per option, in the user's own spelling and with the user's value.
TEST_F(read_options_test, a_value_in_a_word_of_its_own_gets_one_hint_and_changes_nothing) {
    EXPECT_EQ(hints({"-C", "/dev/ttyUSB0"}),
              "lumicord: -C takes its value in the same word: -C/dev/ttyUSB0 (\"/dev/ttyUSB0\" alone is ignored).\n");
    // -C alone is port 0, which selects port 1's device.
    EXPECT_EQ(options.port, 0);
    EXPECT_EQ(options.device, nullptr);

    EXPECT_EQ(hints({"-b", "19200", "word", "-N", "5", "-v", "3", "-c", "2"}),
              "lumicord: -b takes its value in the same word: -b19200 (\"19200\" alone is ignored).\n"
              "lumicord: -N takes its value in the same word: -N5 (\"5\" alone is ignored).\n"
              "lumicord: -v takes its value in the same word: -v3 (\"3\" alone is ignored).\n"
              "lumicord: -c takes its value in the same word: -c2 (\"2\" alone is ignored).\n");
    EXPECT_EQ(options.baud, 0);
    EXPECT_EQ(options.search_top, 0);
    EXPECT_EQ(options.video_count, 1);
    EXPECT_EQ(options.port, 0);

    EXPECT_EQ(hints({"-V", "-B", "19200"}),
              "lumicord: -B takes its value in the same word: -B19200 (\"19200\" alone is ignored).\n");
    EXPECT_EQ(options.video_count, 1);
}

// A name without its path joined to -C would mean port 1: the hint names
// the device's full path instead, where there is one, and never a joined
// word that means something else.
TEST(separate_value_hint_test, names_only_a_joined_word_that_means_what_was_meant) {
    const lumicord::testing::scratch_dir here;
    here.touch("camera-link");
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(here.path());
    const std::string there = std::filesystem::current_path().string();
    const struct {
        std::vector<const char*> args;
        std::string hint;
    } cases[] = {
        {{"-C", "null"}, "lumicord: -C takes its value in the same word: -C/dev/null (\"null\" alone is ignored).\n"},
        {{"-c", "./camera-link"},
         "lumicord: -c takes its value in the same word: -c" + there + "/camera-link" +
             " (\"./camera-link\" alone is ignored).\n"},
        {{"-C", "ttyNOWHERE9"},
         "lumicord: -C takes its value in the same word, a port number or a device's full path (\"ttyNOWHERE9\" "
         "alone is ignored).\n"},
        {{"-C", "3"}, "lumicord: -C takes its value in the same word: -C3 (\"3\" alone is ignored).\n"},
        {{"-V", "ten"}, "lumicord: -V takes its value in the same word, as a number (\"ten\" alone is ignored).\n"},
        {{"-N", "+2"}, "lumicord: -N takes its value in the same word: -N+2 (\"+2\" alone is ignored).\n"},
        {{"-B", "/x"}, "lumicord: -B takes its value in the same word, as a number (\"/x\" alone is ignored).\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1]);
        EXPECT_EQ(hint_lines(c.args), c.hint);
    }
    std::filesystem::current_path(cwd);
}

TEST(separate_value_hint_test, no_hint_where_nothing_is_lost) {
    // A value already in its word, an option alone at the end or before
    // another option, options without values, and empty words.
    for (const auto& args : std::vector<std::vector<const char*>>{
             {"-C2", "word"}, {"-B"}, {"-C", "-B19200"}, {"-C", "--help-me"}, {"-N", "-"}, {"-h", "word"},
             {"-Z", "word"}, {"-", "word"}, {"--", "word"}, {"-CC", "word"}, {"-V", ""}, {"word", "-B"}}) {
        std::string joined;
        for (const char* a : args) joined += std::string("[") + a + "]";
        SCOPED_TRACE(joined);
        EXPECT_EQ(hint_lines(args), "");
    }
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
    // Of the long forms only --help and --version are acted on, and only
    // written exactly so.
    read({"-Z", "word", "--help=no", "--HELP", "--helpme", "--version2", "--", "-", "--B19200", "--h", "-b57600"});
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

// The long forms are met at the same place in the scan as the letters: the
// rightmost of help and version wins, and help shows what is to its right.
TEST(help_test, long_forms_act_where_the_scan_meets_them) {
    using lumicord::testing::lumicord_run;
    using lumicord::testing::run_program;
    lumicord::testing::scratch_dir dir;
    dir.touch("pixforge.cmd", "-x5 -a\n");
    const std::string work = dir.path().string();
    const std::string version = lumicord::testing::version_line();
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"--version"}, version},
        {{"-B19200", "--version", "-C/nonexistent"}, version},
        {{"-h", "--version"}, version},
        {{"--version", "-?"}, lumicord::testing::banner_text(9600) + lumicord::testing::closing_notice()},
        {{"--help", "--version"}, version},
        {{"--version", "--help", "-B38400"}, lumicord::testing::banner_text(38400) + lumicord::testing::closing_notice()},
        {{"-B19200", "--help"}, lumicord::testing::banner_text(9600) + lumicord::testing::closing_notice()},
        {{"--helpme", "--help", "-B57600", "--versions"},
         lumicord::testing::banner_text(57600) + lumicord::testing::closing_notice()},
        {{"--ports"}, lumicord::testing::ports_listing()},
        {{"--version", "-h", "--ports", "-C/dev/ttyUSB0"}, lumicord::testing::ports_listing()},
        {{"--ports", "--version"}, version},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const std::string& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        const auto r = run_program(lumicord_run(c.args, "", work));
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(dir.names(), std::vector<std::string>{"pixforge.cmd"});
}

TEST(help_test, output_that_cannot_be_written_is_a_failure) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    for (const char* option : {"--ports", "--version", "--help"}) {
        SCOPED_TRACE(option);
        lumicord::testing::program_run run = lumicord::testing::lumicord_run({});
        run.args = {"-c", "exec \"$0\" \"$@\" > /dev/full", run.binary, option};
        run.binary = "/bin/sh";
        const auto r = lumicord::testing::run_program(run);
        EXPECT_EQ(r.exit_status, 1);
        EXPECT_EQ(r.err, "lumicord: cannot write standard output: No space left on device\n");
    }
}

}  // namespace
}  // namespace lumicord::front
