// The simulated camera's contents: what the operation tests compare the
// program's downloads with, so it must be deterministic and distinct.
#include "sim/camera_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace lumicord::sim {
namespace {

TEST(picture_data, size_and_byte_four_follow_the_resolution) {
    stored_picture high;
    high.low_res = false;
    stored_picture low;
    low.low_res = true;
    const auto h = picture_data(high);
    const auto l = picture_data(low);
    EXPECT_EQ(h.size(), 124'928u);
    EXPECT_EQ(l.size(), 62'464u);
    EXPECT_EQ(h[4], 0);
    EXPECT_NE(l[4], 0);
}

TEST(picture_data, same_picture_same_bytes_other_seed_other_bytes) {
    stored_picture a;
    a.seed = 7;
    stored_picture b = a;
    stored_picture c = a;
    c.seed = 8;
    EXPECT_TRUE(picture_data(a) == picture_data(b));
    EXPECT_TRUE(thumbnail_data(a) == thumbnail_data(b));
    EXPECT_FALSE(picture_data(a) == picture_data(c));
    EXPECT_FALSE(thumbnail_data(a) == thumbnail_data(c));
}

// Content that repeats block after block would let a transfer that skips or
// repeats a block pass a byte-for-byte comparison.
TEST(picture_data, no_two_blocks_alike) {
    stored_picture p;
    p.seed = 3;
    const auto data = picture_data(p);
    std::set<std::vector<std::uint8_t>> blocks;
    for (std::size_t at = 0; at < data.size(); at += PICTURE_BLOCK)
        blocks.insert(std::vector<std::uint8_t>(data.begin() + static_cast<std::ptrdiff_t>(at),
                                                data.begin() + static_cast<std::ptrdiff_t>(at + PICTURE_BLOCK)));
    EXPECT_EQ(blocks.size(), data.size() / PICTURE_BLOCK);
}

TEST(thumbnail_data, five_blocks_unlike_the_picture) {
    stored_picture p;
    p.seed = 5;
    const auto t = thumbnail_data(p);
    const auto d = picture_data(p);
    EXPECT_EQ(t.size(), 5'120u);
    EXPECT_FALSE(std::equal(t.begin(), t.end(), d.begin()));
}

TEST(picture_info_block, carries_resolution_aperture_and_exposure) {
    stored_picture p;
    p.low_res = true;
    p.aperture = 9;
    p.exposure = 61;
    const auto block = picture_info_block(p);
    EXPECT_NE(block[4], 0);
    EXPECT_EQ(block[16], 9);
    EXPECT_EQ(block[35], 61);
    p.low_res = false;
    EXPECT_EQ(picture_info_block(p)[4], 0);
}

TEST(status_block, dc20_layout) {
    camera_config c = camera_with_pictures(5, true, 0x20);
    c.battery = 1;
    const auto block = status_block(c);
    EXPECT_EQ(block[1], 0x20);
    EXPECT_EQ(block[9], 5);
    EXPECT_EQ(block[11], 11);
    EXPECT_EQ(block[23], 1);
    EXPECT_EQ(block[29], 1);
}

TEST(status_block, dc25_layout_puts_the_free_count_where_the_resolution_says) {
    camera_config c = camera_with_pictures(4, false, 0x25);
    auto block = status_block(c);
    EXPECT_EQ(block[1], 0x25);
    EXPECT_EQ(block[11], 0);
    EXPECT_EQ(block[17] + block[19], 4);
    EXPECT_EQ(block[21], 12);
    EXPECT_NE(block[23], 12);
    c.resolution = 1;
    block = status_block(c);
    EXPECT_EQ(block[11], 1);
    EXPECT_EQ(block[23], 12);
    EXPECT_NE(block[21], 12);
}

TEST(status_block, overrides_come_last) {
    camera_config c = camera_with_pictures(2);
    c.status_overrides = {{9, 200}, {300, 1}, {-1, 1}};
    const auto block = status_block(c);
    EXPECT_EQ(block[9], 200);
}

TEST(camera_with_pictures, distinct_pictures_and_the_rest_free) {
    const camera_config c = camera_with_pictures(6, true, 0x25);
    EXPECT_EQ(c.model, 0x25);
    EXPECT_EQ(c.resolution, 1);
    ASSERT_EQ(c.pictures.size(), 6u);
    EXPECT_EQ(c.pictures_free, 10);
    std::set<std::uint32_t> seeds;
    for (const stored_picture& p : c.pictures) {
        EXPECT_TRUE(p.low_res);
        seeds.insert(p.seed);
    }
    EXPECT_EQ(seeds.size(), 6u);
    EXPECT_EQ(camera_with_pictures(20).pictures_free, 0);
    // The snap's done byte must come after the host's 1.5 s drain.
    EXPECT_GT(c.snap_delay_ms, 1500);
}

}  // namespace
}  // namespace lumicord::sim
