#include "files/numbering.h"

#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "files/picture_files.h"
#include "tests/support/failing_system_call.h"
#include "tests/support/scratch_dir.h"

namespace lumicord::files {
namespace {

using lumicord::testing::scoped_cwd;
using lumicord::testing::scratch_dir;

class numbering_test : public ::testing::Test {
protected:
    scratch_dir dir_;
    scoped_cwd cwd_{dir_.path()};

    void touch_all(std::initializer_list<const char*> names) {
        for (const char* n : names) dir_.touch(n);
    }
};

TEST_F(numbering_test, numbers_above_the_top_are_not_seen_and_gaps_are_not_filled) {
    touch_all({"dc_150.dc2", "dc_020.dc2", "dc_002.dc2"});
    EXPECT_EQ(find_last_number(100, true), 20);
    EXPECT_EQ(find_last_number(149, true), 20);
    EXPECT_EQ(find_last_number(150, true), 150);
    EXPECT_EQ(find_last_number(19, true), 2);
    EXPECT_EQ(find_last_number(1, true), 0);
}

TEST_F(numbering_test, top_zero_or_below_looks_at_nothing) {
    touch_all({"dc_001.dc2", "dc_001.img", "dc_005.dc2"});
    EXPECT_EQ(find_last_number(0, true), 0);
    EXPECT_EQ(find_last_number(-1, true), 0);
    EXPECT_EQ(find_last_number(INT_MIN, false), 0);
    EXPECT_EQ(find_last_number(1, false), 1);
}

// .img files count only for the downloads' search.
TEST_F(numbering_test, numbers_from_1000_on_are_wider) {
    touch_all({"dc_999.dc2", "dc_1000.dc2", "dc_1001.img"});
    EXPECT_EQ(find_last_number(999, false), 999);
    EXPECT_EQ(find_last_number(1000, false), 1000);
    EXPECT_EQ(find_last_number(5000, false), 1000);
    EXPECT_EQ(find_last_number(5000, true), 1001);
}

TEST_F(numbering_test, only_names_written_the_programs_way_count) {
    touch_all({"dc_5.dc2", "dc_0005.dc2", "dc_05.img", "dc_005.DC2", "DC_006.dc2", "dc_007.dc2~", "xdc_008.dc2",
               "dc_009.dc2.bak", "dc_+10.dc2", "dc_ 11.dc2", "dc_000.dc2", "dc_-01.dc2", "dc_.dc2", "dc_012",
               "dc_013.dc", "dc_01000.dc2", "dc_0999.img"});
    EXPECT_EQ(find_last_number(INT_MAX, true), 0);
    EXPECT_EQ(picture_number_of("dc_5.dc2", true), 0);
    EXPECT_EQ(picture_number_of("dc_0005.dc2", true), 0);
    EXPECT_EQ(picture_number_of("dc_005.dc2", false), 5);
    EXPECT_EQ(picture_number_of("dc_005.img", false), 0);
    EXPECT_EQ(picture_number_of("dc_005.img", true), 5);
    EXPECT_EQ(picture_number_of("dc_1000.dc2", false), 1000);
    EXPECT_EQ(picture_number_of("dc_2147483647.dc2", false), INT_MAX);
    EXPECT_EQ(picture_number_of("dc_2147483648.dc2", false), 0);
    EXPECT_EQ(picture_number_of("dc_99999999999999999999999.dc2", false), 0);
}

TEST_F(numbering_test, any_kind_of_entry_counts_like_the_existence_test) {
    std::filesystem::create_directory(dir_ / "dc_004.dc2");
    std::filesystem::create_symlink("nowhere", dir_ / "dc_009.img");
    EXPECT_EQ(find_last_number(100, false), 4);
    EXPECT_EQ(find_last_number(100, true), 9);
}

TEST_F(numbering_test, the_largest_numbers_and_tops) {
    touch_all({"dc_2147483647.dc2", "dc_2147483648.dc2", "dc_1999999999.img"});
    EXPECT_EQ(find_last_number(INT_MAX, false), INT_MAX);
    EXPECT_EQ(find_last_number(INT_MAX - 1, true), 1999999999);
    EXPECT_EQ(find_last_number(INT_MAX - 1, false), 0);
}

// The one search of a whole directory answers a huge top at once, where
// trying every number below it would take hours. The bound only proves that
// it did not try them.
TEST_F(numbering_test, huge_top_in_a_large_directory_answers_at_once) {
    for (int k = 1; k <= 3000; ++k) {
        dir_.touch(picture_file_name(k).data());
        dir_.touch("other_" + std::to_string(k));
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(find_last_number(2000000000, true), 3000);
    EXPECT_EQ(find_last_number(INT_MAX, false), 3000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// A directory that cannot be read to its end: one that may be searched but
// not listed (tried in a child that is not root, for whom permissions do not
// count), or one whose reading fails, as on a failing card (EIO) or with an
// entry a 32-bit build cannot describe (EOVERFLOW). The names can then only
// be tried one by one, from the top down, and no further than 100,000 below
// the top, where trying every number below INT_MAX would take hours; what
// was read before the failure is not the answer.
struct unreadable_directory {
    const char* name;
    int read_error;  // 0: the directory cannot be listed at all
};

void PrintTo(const unreadable_directory& way, std::ostream* out) { *out << way.name; }

class numbering_unreadable_directory_test : public ::testing::TestWithParam<unreadable_directory> {};

TEST_P(numbering_unreadable_directory_test, names_are_tried_from_the_top_down) {
    const int read_error = GetParam().read_error;
    if (read_error != 0) {
        const std::string why_not = lumicord::testing::why_system_calls_cannot_fail();
        if (!why_not.empty()) GTEST_SKIP() << why_not;
    }
    scratch_dir dir;
    // 2147383647 is INT_MAX - 100,000: just out of reach from INT_MAX, the
    // last number tried from INT_MAX - 1.
    for (const char* name : {"dc_003.dc2", "dc_007.img", "dc_5.dc2", "dc_1999999990.dc2", "dc_2147383647.dc2"})
        dir.touch(name);
    if (read_error == 0) {
        ASSERT_EQ(chmod(dir.path().c_str(), 0311), 0);
    }
    int results[2];
    ASSERT_EQ(pipe(results), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (read_error == 0 && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        if (chdir(dir.path().c_str()) != 0) _exit(3);
        if (read_error != 0 && !lumicord::testing::fail_directory_reading(read_error)) _exit(6);
        // The directory must not be listable, or not readable.
        if (DIR* listing = opendir(".")) {
            errno = 0;
            if (readdir(listing) != nullptr || errno != read_error) _exit(4);
        } else if (read_error != 0) {
            _exit(7);
        }
        const int found[] = {find_last_number(100, true),        find_last_number(100, false),
                             find_last_number(6, true),          find_last_number(0, true),
                             find_last_number(2000000000, false), find_last_number(INT_MAX, true),
                             find_last_number(INT_MAX - 1, false)};
        _exit(write(results[1], found, sizeof found) == static_cast<ssize_t>(sizeof found) ? 0 : 5);
    }
    close(results[1]);
    int found[7] = {};
    const ssize_t got = read(results[0], found, sizeof found);
    close(results[0]);
    int status = 0;
    waitpid(child, &status, 0);
    chmod(dir.path().c_str(), 0700);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof found));
    EXPECT_EQ(found[0], 7);
    EXPECT_EQ(found[1], 3);
    EXPECT_EQ(found[2], 3);
    EXPECT_EQ(found[3], 0);
    EXPECT_EQ(found[4], 1999999990);
    EXPECT_EQ(found[5], 0);
    EXPECT_EQ(found[6], INT_MAX - 100000);
}

INSTANTIATE_TEST_SUITE_P(ways, numbering_unreadable_directory_test,
                         ::testing::Values(unreadable_directory{"not_listable", 0},
                                           unreadable_directory{"read_fails_with_eio", EIO},
                                           unreadable_directory{"read_fails_with_eoverflow", EOVERFLOW}),
                         [](const auto& info) { return std::string(info.param.name); });

// The search walks down from the top and probes each number's names. Numbers
// may appear in the directory only within the bands, so the stretches
// between the bands hold nothing and are stepped over.
struct band {
    long long low, high;
};

int downward_search(int top, bool include_img, std::vector<band> bands) {
    std::sort(bands.begin(), bands.end(), [](const band& a, const band& b) { return a.high > b.high; });
    long long k = top;
    for (const band& b : bands) {
        if (k > b.high) k = b.high;
        for (; k >= b.low && k >= 1; --k) {
            if (file_exists(picture_file_name(k).data())) return static_cast<int>(k);
            if (include_img && file_exists(image_file_name(k).data())) return static_cast<int>(k);
        }
    }
    return 0;
}

// The number's name in one of the ways the directory may hold it: as the
// program writes it, or in a spelling that looks alike.
std::string name_for(long long number, std::mt19937& rng) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%03lld", number);
    const std::string canonical = std::string("dc_") + digits;
    switch (std::uniform_int_distribution<int>(0, 13)(rng)) {
        case 0: case 1: case 2: case 3: return canonical + ".dc2";
        case 4: case 5: case 6: return canonical + ".img";
        case 7: return "dc_0" + std::string(digits) + (number % 2 == 0 ? ".dc2" : ".img");
        case 8: return "dc_" + std::to_string(number) + ".dc2";
        case 9: return canonical + (number % 2 == 0 ? ".DC2" : ".IMG");
        case 10: return canonical + ".dc2.bak";
        case 11: return "x" + canonical + ".dc2";
        case 12: return canonical + ".dc3";
        default: return canonical;
    }
}

int random_top(std::mt19937& rng) {
    switch (std::uniform_int_distribution<int>(0, 7)(rng)) {
        case 0: return -std::uniform_int_distribution<int>(1, INT_MAX)(rng);
        case 1: return 0;
        case 2: return INT_MAX;
        case 3: return std::uniform_int_distribution<int>(1000000, INT_MAX)(rng);
        case 4: return std::uniform_int_distribution<int>(990, 1010)(rng);
        case 5: return std::uniform_int_distribution<int>(1, 60)(rng);
        default: return std::uniform_int_distribution<int>(1, 3000)(rng);
    }
}

TEST(numbering_equivalence_test, one_directory_scan_finds_what_the_downward_search_finds) {
    std::mt19937 rng(20240611);
    for (int trial = 0; trial < 300; ++trial) {
        scratch_dir dir;
        scoped_cwd cwd(dir.path());
        const int top = random_top(rng);
        const long long around = top > 0 ? top : 500;
        const long long middle = std::uniform_int_distribution<long long>(1, around)(rng);
        std::vector<band> bands = {{1, 40},
                                   {std::max(1LL, around - 50), around + 50},
                                   {std::max(1LL, middle - 30), middle + 30},
                                   {990, 1010}};
        // Overlapping bands are merged so that the walk never goes back up.
        std::sort(bands.begin(), bands.end(), [](const band& a, const band& b) { return a.low < b.low; });
        std::vector<band> merged;
        for (const band& b : bands) {
            if (!merged.empty() && b.low <= merged.back().high + 1)
                merged.back().high = std::max(merged.back().high, b.high);
            else
                merged.push_back(b);
        }
        const int count = std::uniform_int_distribution<int>(0, 30)(rng);
        std::string listing;
        for (int i = 0; i < count; ++i) {
            const band& b = merged[std::uniform_int_distribution<std::size_t>(0, merged.size() - 1)(rng)];
            const long long number = std::uniform_int_distribution<long long>(b.low, b.high)(rng);
            const std::string name = name_for(number, rng);
            const int kind = std::uniform_int_distribution<int>(0, 9)(rng);
            std::error_code ignored;
            if (kind == 0)
                std::filesystem::create_directory(dir / name, ignored);
            else if (kind == 1)
                std::filesystem::create_symlink("missing-target", dir / name, ignored);
            else
                dir.touch(name);
            listing += name + " ";
        }
        for (bool include_img : {true, false}) {
            SCOPED_TRACE("trial " + std::to_string(trial) + ", top " + std::to_string(top) + ", img " +
                         std::to_string(include_img) + ": " + listing);
            EXPECT_EQ(find_last_number(top, include_img), downward_search(top, include_img, merged));
        }
    }
}

}  // namespace
}  // namespace lumicord::files
