#include "front/saving.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "sim/camera_data.h"
#include "tests/support/camera_ops.h"
#include "tests/support/scratch_dir.h"

namespace lumicord::front {
namespace {

using lumicord::testing::connected_camera;
using lumicord::testing::full_disk_stream;
using lumicord::testing::open_descriptor_count;
using lumicord::testing::printed;
using lumicord::testing::read_file;
using lumicord::testing::run_printing;
using lumicord::testing::scoped_cwd;
using lumicord::testing::scratch_dir;

TEST(finish_picture_file_test, a_complete_file_stays) {
    scratch_dir dir;
    const std::string name = (dir / "dc_001.dc2").string();
    owned_stream stream(std::fopen(name.c_str(), "wb"));
    ASSERT_TRUE(stream);
    const std::array<unsigned char, 3000> data{1, 2, 3};
    ASSERT_EQ(std::fwrite(data.data(), 1, data.size(), stream.get()), data.size());
    EXPECT_TRUE(finish_picture_file(std::move(stream), name.c_str()));
    EXPECT_EQ(read_file(name), std::vector<unsigned char>(data.begin(), data.end()));
}

// The data waits in the stream's buffer until the file is finished, so
// only finishing can tell that it never reached the disk.
TEST(finish_picture_file_test, data_that_cannot_reach_the_disk_deletes_the_file) {
    scratch_dir dir;
    dir.touch("dc_001.dc2", "partial");
    const std::size_t before = open_descriptor_count();
    owned_stream stream(full_disk_stream());
    ASSERT_TRUE(stream);
    // A buffer of our own, larger than the block, whatever size the system
    // would pick for a pipe.
    std::array<char, 4096> buffer{};
    ASSERT_EQ(std::setvbuf(stream.get(), buffer.data(), _IOFBF, buffer.size()), 0);
    const std::array<unsigned char, 1024> block{};
    ASSERT_EQ(std::fwrite(block.data(), 1, block.size(), stream.get()), block.size());
    EXPECT_FALSE(finish_picture_file(std::move(stream), (dir / "dc_001.dc2").c_str()));
    EXPECT_EQ(dir.names(), std::vector<std::string>{});
    EXPECT_EQ(open_descriptor_count(), before);
}

// A buffer that failed to go out earlier, in the middle of the data, still
// marks the file as incomplete even though nothing is left to flush.
TEST(finish_picture_file_test, an_earlier_failed_write_deletes_the_file) {
    scratch_dir dir;
    dir.touch("dc_001.dc2", "partial");
    owned_stream stream(full_disk_stream());
    ASSERT_TRUE(stream);
    std::array<char, 16> small_buffer{};
    ASSERT_EQ(std::setvbuf(stream.get(), small_buffer.data(), _IOFBF, small_buffer.size()), 0);
    const std::array<unsigned char, 64> data{};
    std::fwrite(data.data(), 1, data.size(), stream.get());
    ASSERT_NE(std::ferror(stream.get()), 0);
    EXPECT_FALSE(finish_picture_file(std::move(stream), (dir / "dc_001.dc2").c_str()));
    EXPECT_EQ(dir.names(), std::vector<std::string>{});
}

// A download the camera breaks off deletes its file; one that completes
// keeps it. Neither leaves the file's descriptor open.
TEST(save_picture_test, a_failed_download_deletes_its_file_and_no_download_leaves_a_descriptor_open) {
    sim::fault_config faults;
    faults.fault_opcode = 0x51;  // the picture transfer
    faults.bad_block = 3;
    faults.bad_block_attempts = 5;
    connected_camera camera(sim::camera_with_pictures(1), faults);
    scratch_dir dir;
    scoped_cwd cwd(dir.path());
    const std::size_t before = open_descriptor_count();
    const printed failed = run_printing([] { return save_picture(1, 7, 1) ? 1 : 0; });
    EXPECT_EQ(failed.result, 0);
    EXPECT_EQ(failed.shown + failed.held, "\n  Wrong data packet received!");
    EXPECT_EQ(dir.names(), std::vector<std::string>{});
    EXPECT_EQ(open_descriptor_count(), before);

    // The fault was used up: the same picture now arrives whole.
    const printed saved = run_printing([] { return save_picture(1, 7, 1) ? 1 : 0; });
    EXPECT_EQ(saved.result, 1);
    EXPECT_EQ(saved.shown + saved.held, "\n" + std::string(60, '.') + "\nPicture 1 saved as dc_007.dc2");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"dc_007.dc2"});
    EXPECT_EQ(open_descriptor_count(), before);
}

}  // namespace
}  // namespace lumicord::front
