#include "files/picture_files.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/scratch_dir.h"

namespace lumicord::files {
namespace {

using lumicord::testing::read_file;
using lumicord::testing::scoped_cwd;
using lumicord::testing::scratch_dir;

class picture_files_test : public ::testing::Test {
protected:
    scratch_dir dir_;
    scoped_cwd cwd_{dir_.path()};

    std::string content(const std::string& name) const {
        const std::vector<unsigned char> bytes = read_file(dir_ / name);
        return {bytes.begin(), bytes.end()};
    }
};

TEST_F(picture_files_test, existence_sees_every_kind_of_entry) {
    EXPECT_FALSE(file_exists("dc_001.dc2"));
    dir_.touch("dc_001.dc2", "x");
    std::filesystem::create_directory(dir_ / "dc_002.dc2");
    std::filesystem::create_symlink("no-such-target", dir_ / "dc_003.dc2");
    dir_.touch("dc_004.dc2");
    chmod((dir_ / "dc_004.dc2").c_str(), 0);
    EXPECT_TRUE(file_exists("dc_001.dc2"));
    EXPECT_TRUE(file_exists("dc_002.dc2"));
    EXPECT_TRUE(file_exists("dc_003.dc2"));
    EXPECT_TRUE(file_exists("dc_004.dc2"));
    EXPECT_FALSE(file_exists("dc_005.dc2"));
    EXPECT_FALSE(file_exists(""));
}

TEST_F(picture_files_test, a_new_picture_file_is_created_empty_and_writable) {
    created_file file = create_picture_file("dc_001.dc2");
    ASSERT_EQ(file.result, create_result::created);
    ASSERT_TRUE(file.stream);
    const unsigned char data[3] = {0x00, 0x1A, 0xFF};
    EXPECT_EQ(std::fwrite(data, 1, sizeof data, file.stream.get()), sizeof data);
    EXPECT_TRUE(file.stream.close());
    EXPECT_EQ(read_file(dir_ / "dc_001.dc2"), std::vector<unsigned char>(data, data + sizeof data));
}

TEST_F(picture_files_test, nothing_that_has_the_name_is_overwritten_or_written_through) {
    dir_.touch("dc_001.dc2", "old picture");
    dir_.touch("target", "kept");
    std::filesystem::create_symlink("target", dir_ / "dc_002.dc2");
    std::filesystem::create_symlink("dangling-target", dir_ / "dc_003.dc2");
    std::filesystem::create_directory(dir_ / "dc_004.dc2");
    for (const char* name : {"dc_001.dc2", "dc_002.dc2", "dc_003.dc2", "dc_004.dc2"}) {
        SCOPED_TRACE(name);
        const created_file file = create_picture_file(name);
        EXPECT_EQ(file.result, create_result::exists);
        EXPECT_FALSE(file.stream);
    }
    EXPECT_EQ(content("dc_001.dc2"), "old picture");
    EXPECT_EQ(content("target"), "kept");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "dangling-target"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "dc_003.dc2"));
}

TEST_F(picture_files_test, a_file_that_cannot_be_created_is_a_failure) {
    const created_file file = create_picture_file("no-such-dir/dc_001.dc2");
    EXPECT_EQ(file.result, create_result::failed);
    EXPECT_FALSE(file.stream);
    EXPECT_EQ(dir_.names(), std::vector<std::string>{});
}

TEST_F(picture_files_test, converter_file_holds_one_line_and_is_replaced) {
    write_converter_file(5);
    EXPECT_EQ(content("pixforge.cmd"), "-x5 -a\n");
    write_converter_file(1234);
    EXPECT_EQ(content("pixforge.cmd"), "-x1234 -a\n");
    delete_converter_file();
    EXPECT_EQ(dir_.names(), std::vector<std::string>{});
    // Deleting what is not there is no error, and neither is a converter
    // file that cannot be written. A directory of that name is not ours to
    // delete, even an empty one.
    delete_converter_file();
    std::filesystem::create_directory(dir_ / "pixforge.cmd");
    write_converter_file(7);
    delete_converter_file();
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "pixforge.cmd"));
}

// In a shared directory anyone may plant a link under the names the
// program replaces; what it points to must come to no harm.
TEST_F(picture_files_test, replaced_files_are_never_written_through_a_link) {
    dir_.touch("precious", "kept");
    std::filesystem::create_symlink("precious", dir_ / "thumbnls.dc2");
    std::filesystem::create_symlink("precious", dir_ / "pixforge.cmd");
    EXPECT_FALSE(create_replacement_file("thumbnls.dc2"));
    write_converter_file(5);
    EXPECT_EQ(content("precious"), "kept");
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "pixforge.cmd"));
    // The link itself goes at start-up; its target stays.
    delete_converter_file();
    EXPECT_EQ(dir_.names(), (std::vector<std::string>{"precious", "thumbnls.dc2"}));
    EXPECT_EQ(content("precious"), "kept");
}

TEST_F(picture_files_test, a_replaced_file_is_a_plain_file_emptied_or_new) {
    dir_.touch("thumbnls.dc2", "earlier thumbnails");
    owned_stream stream = create_replacement_file("thumbnls.dc2");
    ASSERT_TRUE(stream);
    EXPECT_EQ(content("thumbnls.dc2"), "");
    std::fputs("new", stream.get());
    EXPECT_TRUE(stream.close());
    EXPECT_EQ(content("thumbnls.dc2"), "new");
    // A FIFO would hold the program until a reader came; it is refused at
    // once, as is anything else that is not a plain file.
    ASSERT_EQ(mkfifo("fifo", 0666), 0);
    EXPECT_FALSE(create_replacement_file("fifo"));
    std::filesystem::create_directory(dir_ / "directory");
    EXPECT_FALSE(create_replacement_file("directory"));
}

// Every way out of the file functions, the refusals included, leaves no
// descriptor open behind it.
TEST_F(picture_files_test, no_way_out_leaves_a_descriptor_open) {
    dir_.touch("dc_001.dc2", "old picture");
    std::filesystem::create_symlink("elsewhere", dir_ / "thumbnls.dc2");
    ASSERT_EQ(mkfifo("fifo", 0666), 0);
    std::filesystem::create_directory(dir_ / "directory");
    const std::size_t before = lumicord::testing::open_descriptor_count();
    EXPECT_EQ(create_picture_file("dc_001.dc2").result, create_result::exists);
    EXPECT_EQ(create_picture_file("no-such-dir/dc_002.dc2").result, create_result::failed);
    EXPECT_EQ(create_picture_file("dc_003.dc2").result, create_result::created);
    EXPECT_FALSE(create_replacement_file("thumbnls.dc2"));
    EXPECT_FALSE(create_replacement_file("fifo"));
    EXPECT_FALSE(create_replacement_file("directory"));
    EXPECT_TRUE(create_replacement_file("plain"));
    write_converter_file(5);
    EXPECT_EQ(lumicord::testing::open_descriptor_count(), before);
    EXPECT_EQ(content("pixforge.cmd"), "-x5 -a\n");
}

// A descriptor is closed by its owner or by the stream it was handed to,
// never by both; one that no stream would take stays with its owner.
TEST_F(picture_files_test, owners_close_what_they_hold_once) {
    const std::size_t before = lumicord::testing::open_descriptor_count();
    {
        owned_descriptor fd(::open("written", O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
        ASSERT_TRUE(fd);
        // A mode no C library knows gets no stream. (A mode that does not
        // suit the descriptor is refused by some, glibc's, and not others.)
        EXPECT_FALSE(fd.into_stream("x"));
        EXPECT_TRUE(fd);
        owned_descriptor other(std::move(fd));
        EXPECT_FALSE(fd);
        owned_stream stream = other.into_stream("wb");
        ASSERT_TRUE(stream);
        EXPECT_FALSE(other);
        std::fputs("kept", stream.get());
        owned_stream moved;
        moved = std::move(stream);
        EXPECT_FALSE(stream.close());
        EXPECT_EQ(lumicord::testing::open_descriptor_count(), before + 1);
        EXPECT_TRUE(moved.close());
        EXPECT_FALSE(moved.close());
        EXPECT_EQ(lumicord::testing::open_descriptor_count(), before);
        // Assigning over an owner that holds one closes the old one.
        owned_descriptor first(::open("written", O_RDONLY | O_CLOEXEC));
        owned_descriptor second(::open("written", O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(first && second);
        first = std::move(second);
        EXPECT_EQ(lumicord::testing::open_descriptor_count(), before + 1);
    }
    EXPECT_EQ(lumicord::testing::open_descriptor_count(), before);
    EXPECT_EQ(content("written"), "kept");
}

TEST(picture_file_names_test, fixed_names) {
    EXPECT_STREQ(THUMBNAIL_FILE_NAME, "thumbnls.dc2");
    EXPECT_STREQ(CONVERTER_FILE_NAME, "pixforge.cmd");
    EXPECT_STREQ(picture_file_name(1).data(), "dc_001.dc2");
    EXPECT_STREQ(picture_file_name(42).data(), "dc_042.dc2");
    EXPECT_STREQ(picture_file_name(999).data(), "dc_999.dc2");
    EXPECT_STREQ(picture_file_name(1000).data(), "dc_1000.dc2");
    EXPECT_STREQ(picture_file_name(12345).data(), "dc_12345.dc2");
    EXPECT_STREQ(picture_file_name(2147483648LL).data(), "dc_2147483648.dc2");
    EXPECT_STREQ(image_file_name(5).data(), "dc_005.img");
    EXPECT_STREQ(image_file_name(999).data(), "dc_999.img");
    EXPECT_STREQ(image_file_name(1000).data(), "dc_1000.img");
}

}  // namespace
}  // namespace lumicord::files
