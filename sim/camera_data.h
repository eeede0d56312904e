// What the simulated camera holds and how its blocks look. Deterministic, so
// that a test can compare a downloaded file byte for byte with the camera.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace lumicord::sim {

struct stored_picture {
    bool low_res = false;
    std::uint8_t aperture = 4;   // above 6 means f/11
    std::uint8_t exposure = 30;  // shutter speed step
    std::uint32_t seed = 1;      // picks the picture's content
};

struct camera_config {
    std::uint8_t model = 0x20;
    std::uint8_t battery = 0;       // 0 good
    std::uint8_t resolution = 0;    // 1 low, 0 high
    int pictures_free = 16;
    std::vector<stored_picture> pictures;
    int snap_delay_ms = 1800;       // done byte after a snap; must outlast the host's 1.5 s drain
    int erase_delay_ms = 200;       // done byte after an erase
    // Status bytes set after the layout is filled in, for odd cameras.
    std::vector<std::pair<int, std::uint8_t>> status_overrides;
};

inline constexpr std::size_t PICTURE_BLOCK = 1024;
inline constexpr std::size_t HIGH_RES_PICTURE_BYTES = 122 * PICTURE_BLOCK;
inline constexpr std::size_t LOW_RES_PICTURE_BYTES = 61 * PICTURE_BLOCK;
inline constexpr std::size_t THUMBNAIL_BYTES = 5 * PICTURE_BLOCK;
inline constexpr std::size_t INFO_BLOCK = 256;

std::array<std::uint8_t, INFO_BLOCK> status_block(const camera_config& camera);
std::array<std::uint8_t, INFO_BLOCK> picture_info_block(const stored_picture& picture);
std::vector<std::uint8_t> picture_data(const stored_picture& picture);
std::vector<std::uint8_t> thumbnail_data(const stored_picture& picture);

// A camera with count pictures of the given resolution, seeds 1..count.
camera_config camera_with_pictures(int count, bool low_res = false, std::uint8_t model = 0x20);

}  // namespace lumicord::sim
