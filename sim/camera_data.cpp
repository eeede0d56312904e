#include "sim/camera_data.h"

namespace lumicord::sim {

namespace {

struct xorshift {
    std::uint32_t state;
    std::uint8_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<std::uint8_t>(state >> 24);
    }
};

std::vector<std::uint8_t> noise(std::uint32_t seed, std::size_t size) {
    xorshift rng{seed == 0 ? 0x2545F491u : seed * 2654435761u};
    std::vector<std::uint8_t> bytes(size);
    for (std::uint8_t& b : bytes) b = rng.next();
    return bytes;
}

constexpr std::uint8_t MODEL_DC20 = 0x20;

}  // namespace

std::array<std::uint8_t, INFO_BLOCK> status_block(const camera_config& camera) {
    std::array<std::uint8_t, INFO_BLOCK> block{};
    const auto taken = static_cast<std::uint8_t>(camera.pictures.size());
    const auto free = static_cast<std::uint8_t>(camera.pictures_free);
    block[1] = camera.model;
    if (camera.model == MODEL_DC20) {
        block[9] = taken;
        block[11] = free;
        block[23] = camera.resolution;
        block[29] = camera.battery;
    } else {
        block[11] = camera.resolution;
        block[17] = taken;
        block[19] = 0;
        // The free count sits where the resolution says; the other place
        // holds something a careless reader would show.
        block[21] = camera.resolution == 0 ? free : 0xEE;
        block[23] = camera.resolution == 0 ? 0xEE : free;
        block[29] = camera.battery;
    }
    for (const auto& [index, value] : camera.status_overrides)
        if (index >= 0 && static_cast<std::size_t>(index) < block.size()) block[static_cast<std::size_t>(index)] = value;
    return block;
}

std::array<std::uint8_t, INFO_BLOCK> picture_info_block(const stored_picture& picture) {
    std::array<std::uint8_t, INFO_BLOCK> block{};
    const std::vector<std::uint8_t> filler = noise(picture.seed ^ 0x51A7u, INFO_BLOCK);
    for (std::size_t i = 0; i < INFO_BLOCK; ++i) block[i] = filler[i];
    block[4] = picture.low_res ? 1 : 0;
    block[16] = picture.aperture;
    block[35] = picture.exposure;
    return block;
}

std::vector<std::uint8_t> picture_data(const stored_picture& picture) {
    std::vector<std::uint8_t> bytes =
        noise(picture.seed, picture.low_res ? LOW_RES_PICTURE_BYTES : HIGH_RES_PICTURE_BYTES);
    // Byte 4 tells the host how many blocks follow.
    bytes[4] = picture.low_res ? 1 : 0;
    return bytes;
}

std::vector<std::uint8_t> thumbnail_data(const stored_picture& picture) {
    return noise(picture.seed ^ 0x9E3779B9u, THUMBNAIL_BYTES);
}

camera_config camera_with_pictures(int count, bool low_res, std::uint8_t model) {
    camera_config camera;
    camera.model = model;
    camera.resolution = low_res ? 1 : 0;
    for (int i = 1; i <= count; ++i) {
        stored_picture p;
        p.low_res = low_res;
        p.seed = static_cast<std::uint32_t>(i);
        p.aperture = static_cast<std::uint8_t>(i % 2 == 0 ? 8 : 4);
        p.exposure = static_cast<std::uint8_t>(10 + 7 * i);
        camera.pictures.push_back(p);
    }
    camera.pictures_free = count >= 16 ? 0 : 16 - count;
    return camera;
}

}  // namespace lumicord::sim
