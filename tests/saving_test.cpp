#include "front/saving.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"

namespace lumicord::front {
namespace {

using lumicord::testing::full_disk_stream;
using lumicord::testing::read_file;
using lumicord::testing::scratch_dir;

TEST(finish_picture_file_test, a_complete_file_stays) {
    scratch_dir dir;
    const std::string name = (dir / "dc_001.dc2").string();
    std::FILE* stream = std::fopen(name.c_str(), "wb");
    ASSERT_NE(stream, nullptr);
    const std::array<unsigned char, 3000> data{1, 2, 3};
    ASSERT_EQ(std::fwrite(data.data(), 1, data.size(), stream), data.size());
    EXPECT_TRUE(finish_picture_file(stream, name.c_str()));
    EXPECT_EQ(read_file(name), std::vector<unsigned char>(data.begin(), data.end()));
}

// The data waits in the stream's buffer until the file is finished, so
// only finishing can tell that it never reached the disk.
TEST(finish_picture_file_test, data_that_cannot_reach_the_disk_deletes_the_file) {
    scratch_dir dir;
    dir.touch("dc_001.dc2", "partial");
    std::FILE* stream = full_disk_stream();
    ASSERT_NE(stream, nullptr);
    // A buffer of our own, larger than the block, whatever size the system
    // would pick for a pipe.
    std::array<char, 4096> buffer{};
    ASSERT_EQ(std::setvbuf(stream, buffer.data(), _IOFBF, buffer.size()), 0);
    const std::array<unsigned char, 1024> block{};
    ASSERT_EQ(std::fwrite(block.data(), 1, block.size(), stream), block.size());
    EXPECT_FALSE(finish_picture_file(stream, (dir / "dc_001.dc2").c_str()));
    EXPECT_EQ(dir.names(), std::vector<std::string>{});
}

// A buffer that failed to go out earlier, in the middle of the data, still
// marks the file as incomplete even though nothing is left to flush.
TEST(finish_picture_file_test, an_earlier_failed_write_deletes_the_file) {
    scratch_dir dir;
    dir.touch("dc_001.dc2", "partial");
    std::FILE* stream = full_disk_stream();
    ASSERT_NE(stream, nullptr);
    std::array<char, 16> small_buffer{};
    ASSERT_EQ(std::setvbuf(stream, small_buffer.data(), _IOFBF, small_buffer.size()), 0);
    const std::array<unsigned char, 64> data{};
    std::fwrite(data.data(), 1, data.size(), stream);
    ASSERT_NE(std::ferror(stream), 0);
    EXPECT_FALSE(finish_picture_file(stream, (dir / "dc_001.dc2").c_str()));
    EXPECT_EQ(dir.names(), std::vector<std::string>{});
}

}  // namespace
}  // namespace lumicord::front
